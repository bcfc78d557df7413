<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ondivo - one FatturaElettronicaBody: general data, references, transport,
  lines (ordinary) or goods/services (simplified), VAT summary, vehicles,
  payments and attachments. Included by fatturapa_comune.xsl, whose
  helpers (kv mode, valore, data, codice, ignoti...) it uses.

  The line table is the part that grows with the invoice: it emits one <tr>
  per line with plain <td> cells, optional columns only when some line
  uses them, and extra details only when present.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:set="http://exslt.org/sets" exclude-result-prefixes="set">

  <xsl:variable name="noti-dati-generali" select="'|DatiGeneraliDocumento|DatiOrdineAcquisto|DatiContratto|DatiConvenzione|DatiRicezione|DatiFattureCollegate|DatiSAL|DatiDDT|DatiTrasporto|FatturaPrincipale|DatiFatturaRettificata|'"/>
  <xsl:variable name="noti-corpo" select="'|DatiGenerali|DatiBeniServizi|DatiVeicoli|DatiPagamento|Allegati|'"/>
  <xsl:variable name="noti-riferimento" select="'|RiferimentoNumeroLinea|IdDocumento|Data|NumItem|CodiceCommessaConvenzione|CodiceCUP|CodiceCIG|'"/>
  <xsl:variable name="noti-riga" select="'|NumeroLinea|CodiceArticolo|Descrizione|Quantita|UnitaMisura|PrezzoUnitario|ScontoMaggiorazione|PrezzoTotale|AliquotaIVA|Natura|'"/>
  <xsl:variable name="noti-riepilogo" select="'|AliquotaIVA|Natura|SpeseAccessorie|Arrotondamento|ImponibileImporto|Imposta|EsigibilitaIVA|RiferimentoNormativo|'"/>
  <xsl:variable name="noti-bene-semplificato" select="'|Descrizione|Importo|DatiIVA|Natura|RiferimentoNormativo|'"/>
  <xsl:variable name="noti-pagamento" select="'|ModalitaPagamento|DataScadenzaPagamento|ImportoPagamento|'"/>
  <xsl:variable name="noti-allegato" select="'|NomeAttachment|AlgoritmoCompressione|FormatoAttachment|DescrizioneAttachment|Attachment|'"/>

  <xsl:variable name="tipi-riferimento" select="'|DatiOrdineAcquisto=Ordine di acquisto|DatiContratto=Contratto|DatiConvenzione=Convenzione|DatiRicezione=Ricezione|DatiFattureCollegate=Fattura collegata|'"/>

  <!-- Context: a FatturaElettronicaBody. -->
  <xsl:template name="corpo">
    <xsl:param name="n" select="1"/>
    <xsl:param name="totale" select="1"/>
    <xsl:variable name="dg" select="*[local-name()='DatiGenerali']"/>
    <xsl:variable name="doc" select="$dg/*[local-name()='DatiGeneraliDocumento']"/>
    <xsl:variable name="bs" select="*[local-name()='DatiBeniServizi']"/>
    <div class="corpo">
      <h2>
        <xsl:if test="$totale &gt; 1">
          <xsl:text>Documento </xsl:text>
          <xsl:value-of select="$n"/>
          <xsl:text> di </xsl:text>
          <xsl:value-of select="$totale"/>
          <xsl:text> · </xsl:text>
        </xsl:if>
        <xsl:call-template name="titolo-documento">
          <xsl:with-param name="doc" select="$doc"/>
        </xsl:call-template>
      </h2>

      <h3>Dati generali</h3>
      <table class="kv">
        <xsl:call-template name="righe-kv">
          <xsl:with-param name="nodi" select="$doc/*"/>
        </xsl:call-template>
      </table>

      <xsl:for-each select="$dg/*[local-name()='DatiFatturaRettificata']">
        <h3>Fattura rettificata</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:call-template name="riferimenti">
        <xsl:with-param name="rif" select="$dg/*[local-name()='DatiOrdineAcquisto' or local-name()='DatiContratto' or local-name()='DatiConvenzione' or local-name()='DatiRicezione' or local-name()='DatiFattureCollegate']"/>
      </xsl:call-template>

      <xsl:variable name="sal" select="$dg/*[local-name()='DatiSAL'][* or normalize-space()]"/>
      <xsl:if test="$sal">
        <table class="kv">
          <tr>
            <th>Stato avanzamento lavori</th>
            <td>
              <xsl:for-each select="$sal">
                <xsl:if test="position() &gt; 1">
                  <xsl:text>, </xsl:text>
                </xsl:if>
                <xsl:call-template name="composto"/>
              </xsl:for-each>
            </td>
          </tr>
        </table>
      </xsl:if>

      <xsl:call-template name="ddt">
        <xsl:with-param name="ddt" select="$dg/*[local-name()='DatiDDT']"/>
      </xsl:call-template>

      <xsl:for-each select="$dg/*[local-name()='DatiTrasporto']">
        <h3>Trasporto</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:for-each select="$dg/*[local-name()='FatturaPrincipale']">
        <h3>Fattura principale</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:variable name="altri-dg" select="$dg/*[not(contains($noti-dati-generali, concat('|', local-name(), '|')))]"/>
      <xsl:if test="$altri-dg">
        <h3>Altri dati generali</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="$altri-dg"/>
          </xsl:call-template>
        </table>
      </xsl:if>

      <xsl:variable name="righe" select="$bs/*[local-name()='DettaglioLinee']"/>
      <xsl:if test="$righe">
        <xsl:call-template name="righe">
          <xsl:with-param name="righe" select="$righe"/>
        </xsl:call-template>
      </xsl:if>

      <xsl:variable name="semplici" select="$bs[*[local-name()='Descrizione' or local-name()='Importo' or local-name()='DatiIVA']]"/>
      <xsl:if test="$semplici">
        <xsl:call-template name="beni-semplificati">
          <xsl:with-param name="beni" select="$semplici"/>
        </xsl:call-template>
      </xsl:if>

      <xsl:variable name="altri-bs" select="$bs[not(*[local-name()='Descrizione' or local-name()='Importo' or local-name()='DatiIVA'])]/*[local-name()!='DettaglioLinee' and local-name()!='DatiRiepilogo']"/>
      <xsl:if test="$altri-bs">
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="$altri-bs"/>
          </xsl:call-template>
        </table>
      </xsl:if>

      <xsl:variable name="riepilogo" select="$bs/*[local-name()='DatiRiepilogo']"/>
      <xsl:if test="$riepilogo">
        <xsl:call-template name="riepilogo">
          <xsl:with-param name="r" select="$riepilogo"/>
        </xsl:call-template>
      </xsl:if>

      <xsl:call-template name="totali"/>

      <xsl:for-each select="*[local-name()='DatiVeicoli']">
        <h3>Veicoli</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:call-template name="pagamenti">
        <xsl:with-param name="dp" select="*[local-name()='DatiPagamento']"/>
      </xsl:call-template>

      <xsl:call-template name="allegati">
        <xsl:with-param name="a" select="*[local-name()='Allegati']"/>
      </xsl:call-template>

      <xsl:variable name="altri" select="*[not(contains($noti-corpo, concat('|', local-name(), '|')))]"/>
      <xsl:if test="$altri">
        <h3>Altri dati</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="$altri"/>
          </xsl:call-template>
        </table>
      </xsl:if>
    </div>
  </xsl:template>

  <!-- ====================================== orders, contracts, receipts -->

  <xsl:template name="riferimenti">
    <xsl:param name="rif"/>
    <xsl:if test="$rif">
      <xsl:variable name="k-data" select="boolean($rif/*[local-name()='Data'])"/>
      <xsl:variable name="k-item" select="boolean($rif/*[local-name()='NumItem'])"/>
      <xsl:variable name="k-comm" select="boolean($rif/*[local-name()='CodiceCommessaConvenzione'])"/>
      <xsl:variable name="k-cup" select="boolean($rif/*[local-name()='CodiceCUP'])"/>
      <xsl:variable name="k-cig" select="boolean($rif/*[local-name()='CodiceCIG'])"/>
      <xsl:variable name="k-linee" select="boolean($rif/*[local-name()='RiferimentoNumeroLinea'])"/>
      <h3>Documenti di riferimento</h3>
      <table class="t">
        <thead>
          <tr>
            <th>Tipo</th>
            <th>Identificativo</th>
            <xsl:if test="$k-data"><th>Data</th></xsl:if>
            <xsl:if test="$k-item"><th>N. linea</th></xsl:if>
            <xsl:if test="$k-comm"><th>Commessa / convenzione</th></xsl:if>
            <xsl:if test="$k-cup"><th>Codice CUP</th></xsl:if>
            <xsl:if test="$k-cig"><th>Codice CIG</th></xsl:if>
            <xsl:if test="$k-linee"><th>Linee fattura</th></xsl:if>
          </tr>
        </thead>
        <tbody>
          <xsl:for-each select="$rif">
            <tr>
              <td>
                <xsl:value-of select="substring-before(substring-after($tipi-riferimento, concat('|', local-name(), '=')), '|')"/>
              </td>
              <td>
                <xsl:value-of select="normalize-space(*[local-name()='IdDocumento'])"/>
                <xsl:call-template name="ignoti">
                  <xsl:with-param name="nodi" select="*"/>
                  <xsl:with-param name="noti" select="$noti-riferimento"/>
                </xsl:call-template>
              </td>
              <xsl:if test="$k-data">
                <td>
                  <xsl:for-each select="*[local-name()='Data']">
                    <xsl:call-template name="data"/>
                  </xsl:for-each>
                </td>
              </xsl:if>
              <xsl:if test="$k-item">
                <td><xsl:value-of select="normalize-space(*[local-name()='NumItem'])"/></td>
              </xsl:if>
              <xsl:if test="$k-comm">
                <td><xsl:value-of select="normalize-space(*[local-name()='CodiceCommessaConvenzione'])"/></td>
              </xsl:if>
              <xsl:if test="$k-cup">
                <td><xsl:value-of select="normalize-space(*[local-name()='CodiceCUP'])"/></td>
              </xsl:if>
              <xsl:if test="$k-cig">
                <td><xsl:value-of select="normalize-space(*[local-name()='CodiceCIG'])"/></td>
              </xsl:if>
              <xsl:if test="$k-linee">
                <td>
                  <xsl:call-template name="elenco-linee"/>
                </td>
              </xsl:if>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- "1, 2, 5" from the RiferimentoNumeroLinea children. -->
  <xsl:template name="elenco-linee">
    <xsl:for-each select="*[local-name()='RiferimentoNumeroLinea'][normalize-space()]">
      <xsl:if test="position() &gt; 1">
        <xsl:text>, </xsl:text>
      </xsl:if>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="ddt">
    <xsl:param name="ddt"/>
    <xsl:if test="$ddt">
      <h3>Documenti di trasporto (DDT)</h3>
      <table class="t">
        <thead>
          <tr>
            <th>Numero DDT</th>
            <th>Data DDT</th>
            <th>Linee fattura</th>
          </tr>
        </thead>
        <tbody>
          <xsl:for-each select="$ddt">
            <tr>
              <td><xsl:value-of select="normalize-space(*[local-name()='NumeroDDT'])"/></td>
              <td>
                <xsl:for-each select="*[local-name()='DataDDT']">
                  <xsl:call-template name="data"/>
                </xsl:for-each>
              </td>
              <td>
                <xsl:call-template name="elenco-linee"/>
                <xsl:call-template name="ignoti">
                  <xsl:with-param name="nodi" select="*"/>
                  <xsl:with-param name="noti" select="'|NumeroDDT|DataDDT|RiferimentoNumeroLinea|'"/>
                </xsl:call-template>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- ============================================================ lines -->

  <!-- Lines of a body. A long list is cut into blocks of rows that the browser lays out only
       when they come into view, so that a page of thousands of lines opens quickly. In print
       each block starts a page, where its headings stand.-->
  <xsl:variable name="righe-per-blocco" select="1000"/>

  <xsl:template name="righe">
    <xsl:param name="righe"/>
    <!-- One look through the lines' fields for the optional columns and the natures. -->
    <xsl:variable name="facoltativi" select="$righe/*[contains('|CodiceArticolo|Quantita|UnitaMisura|ScontoMaggiorazione|Natura|', concat('|', local-name(), '|'))]"/>
    <xsl:variable name="k-cod" select="boolean($facoltativi[local-name()='CodiceArticolo'])"/>
    <xsl:variable name="k-qta" select="boolean($facoltativi[local-name()='Quantita' or local-name()='UnitaMisura'])"/>
    <xsl:variable name="k-sc" select="boolean($facoltativi[local-name()='ScontoMaggiorazione'])"/>
    <h3>Dettaglio beni e servizi</h3>
    <xsl:choose>
      <!-- Blocks are made of consecutive sibling lines, as the lines of an
           invoice are; lines spread otherwise make one table. -->
      <xsl:when test="count($righe) &lt;= $righe-per-blocco or $righe[position() &lt; last()][local-name(following-sibling::*[1]) != 'DettaglioLinee']">
        <table class="t righe">
          <xsl:call-template name="righe-intestazione">
            <xsl:with-param name="k-cod" select="$k-cod"/>
            <xsl:with-param name="k-qta" select="$k-qta"/>
            <xsl:with-param name="k-sc" select="$k-sc"/>
          </xsl:call-template>
          <tbody>
            <xsl:for-each select="$righe">
              <xsl:call-template name="riga">
                <xsl:with-param name="k-cod" select="$k-cod"/>
                <xsl:with-param name="k-qta" select="$k-qta"/>
                <xsl:with-param name="k-sc" select="$k-sc"/>
              </xsl:call-template>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:when>
      <xsl:otherwise>
        <xsl:for-each select="$righe[position() mod $righe-per-blocco = 1]">
          <div class="blocco-righe">
            <table class="t righe">
              <xsl:call-template name="righe-intestazione">
                <xsl:with-param name="k-cod" select="$k-cod"/>
                <xsl:with-param name="k-qta" select="$k-qta"/>
                <xsl:with-param name="k-sc" select="$k-sc"/>
                <xsl:with-param name="ripetuta" select="position() &gt; 1"/>
              </xsl:call-template>
              <tbody>
                <xsl:call-template name="tratti-seguenti">
                  <xsl:with-param name="k-cod" select="$k-cod"/>
                  <xsl:with-param name="k-qta" select="$k-qta"/>
                  <xsl:with-param name="k-sc" select="$k-sc"/>
                  <xsl:with-param name="quanti" select="$righe-per-blocco div $righe-per-tratto"/>
                </xsl:call-template>
              </tbody>
            </table>
          </div>
        </xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:call-template name="legenda-nature">
      <xsl:with-param name="nature" select="$facoltativi[local-name()='Natura'][normalize-space()]"/>
    </xsl:call-template>
  </xsl:template>

  <!-- A block goes by stretches of lines, this one and those that follow, up
       to `quanti`: each stretch is a chain of calls as long as its lines, and
       the next stretch is reached by counting siblings, which stops there. -->
  <xsl:variable name="righe-per-tratto" select="100"/> <!-- also written out below -->

  <xsl:template name="tratti-seguenti">
    <xsl:param name="k-cod"/>
    <xsl:param name="k-qta"/>
    <xsl:param name="k-sc"/>
    <xsl:param name="quanti"/>
    <xsl:call-template name="righe-seguenti">
      <xsl:with-param name="k-cod" select="$k-cod"/>
      <xsl:with-param name="k-qta" select="$k-qta"/>
      <xsl:with-param name="k-sc" select="$k-sc"/>
      <xsl:with-param name="quante" select="$righe-per-tratto"/>
    </xsl:call-template>
    <xsl:if test="$quanti &gt; 1">
      <!-- A literal position, alone in its step: only then does the look stop at
           that sibling (another predicate after it would visit all that follow). -->
      <xsl:variable name="seguente" select="following-sibling::*[100]"/>
      <xsl:for-each select="$seguente[local-name()='DettaglioLinee']">
        <xsl:call-template name="tratti-seguenti">
          <xsl:with-param name="k-cod" select="$k-cod"/>
          <xsl:with-param name="k-qta" select="$k-qta"/>
          <xsl:with-param name="k-sc" select="$k-sc"/>
          <xsl:with-param name="quanti" select="$quanti - 1"/>
        </xsl:call-template>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <!-- This line and the lines that follow it as siblings, up to `quante` in
       all. Each step reaches the next sibling directly: selecting a block
       out of the whole list would cost a pass over the list per block. -->
  <xsl:template name="righe-seguenti">
    <xsl:param name="k-cod"/>
    <xsl:param name="k-qta"/>
    <xsl:param name="k-sc"/>
    <xsl:param name="quante"/>
    <xsl:call-template name="riga">
      <xsl:with-param name="k-cod" select="$k-cod"/>
      <xsl:with-param name="k-qta" select="$k-qta"/>
      <xsl:with-param name="k-sc" select="$k-sc"/>
    </xsl:call-template>
    <xsl:if test="$quante &gt; 1">
      <xsl:variable name="seguente" select="following-sibling::*[1]"/>
      <xsl:for-each select="$seguente[local-name()='DettaglioLinee']">
        <xsl:call-template name="righe-seguenti">
          <xsl:with-param name="k-cod" select="$k-cod"/>
          <xsl:with-param name="k-qta" select="$k-qta"/>
          <xsl:with-param name="k-sc" select="$k-sc"/>
          <xsl:with-param name="quante" select="$quante - 1"/>
        </xsl:call-template>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <!-- The column headings of the lines; a block after the first shows them only in print. -->
  <xsl:template name="righe-intestazione">
    <xsl:param name="k-cod"/>
    <xsl:param name="k-qta"/>
    <xsl:param name="k-sc"/>
    <xsl:param name="ripetuta" select="false()"/>
    <thead>
      <xsl:if test="$ripetuta"><xsl:attribute name="class">ripetuta</xsl:attribute></xsl:if>
      <tr>
        <th class="c">N.</th>
        <xsl:if test="$k-cod"><th class="k">Codice articolo</th></xsl:if>
        <th class="descr">Descrizione</th>
        <xsl:if test="$k-qta"><th class="r">Quantità</th><th class="um">U.M.</th></xsl:if>
        <th class="r">Prezzo unitario</th>
        <xsl:if test="$k-sc"><th class="sc">Sconto / magg.</th></xsl:if>
        <th class="r">Prezzo totale</th>
        <th class="r">IVA %</th>
      </tr>
    </thead>
  </xsl:template>

  <!-- One line: few cells, classes only, so that long invoices stay light. A line whose
       description is long may split across printed pages; others stay whole. -->
  <xsl:variable name="descrizione-lunga" select="600"/>

  <xsl:template name="riga">
    <xsl:param name="k-cod"/>
    <xsl:param name="k-qta"/>
    <xsl:param name="k-sc"/>
    <xsl:variable name="descrizione" select="*[local-name()='Descrizione']"/>
    <tr>
      <xsl:if test="string-length($descrizione) &gt; $descrizione-lunga">
        <xsl:attribute name="class">lunga</xsl:attribute>
      </xsl:if>
      <td class="c"><xsl:value-of select="normalize-space(*[local-name()='NumeroLinea'])"/></td>
      <xsl:if test="$k-cod">
        <td class="k">
          <xsl:for-each select="*[local-name()='CodiceArticolo']">
            <xsl:if test="position() &gt; 1">
              <xsl:text>&#10;</xsl:text>
            </xsl:if>
            <xsl:value-of select="normalize-space(*[local-name()='CodiceTipo'])"/>
            <xsl:text> </xsl:text>
            <xsl:value-of select="normalize-space(*[local-name()='CodiceValore'])"/>
            <xsl:for-each select="*[local-name()!='CodiceTipo' and local-name()!='CodiceValore'][normalize-space()]">
              <xsl:text> </xsl:text>
              <xsl:value-of select="normalize-space()"/>
            </xsl:for-each>
          </xsl:for-each>
        </td>
      </xsl:if>
      <td class="descr">
        <xsl:for-each select="$descrizione">
          <xsl:call-template name="testo-libero"/>
        </xsl:for-each>
        <xsl:call-template name="dettagli-riga"/>
      </td>
      <xsl:if test="$k-qta">
        <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='Quantita'])"/></xsl:call-template></td>
        <td class="um"><xsl:value-of select="normalize-space(*[local-name()='UnitaMisura'])"/></td>
      </xsl:if>
      <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='PrezzoUnitario'])"/></xsl:call-template></td>
      <xsl:if test="$k-sc">
        <td class="sc">
          <xsl:for-each select="*[local-name()='ScontoMaggiorazione']">
            <xsl:if test="position() &gt; 1">
              <xsl:text>&#10;</xsl:text>
            </xsl:if>
            <xsl:call-template name="sconto"/>
          </xsl:for-each>
        </td>
      </xsl:if>
      <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='PrezzoTotale'])"/></xsl:call-template></td>
      <td class="r">
        <xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='AliquotaIVA'])"/></xsl:call-template>
        <xsl:for-each select="*[local-name()='Natura'][normalize-space()]">
          <xsl:text>&#10;</xsl:text>
          <xsl:value-of select="normalize-space()"/>
        </xsl:for-each>
      </td>
    </tr>
  </xsl:template>

  <!-- The meaning of each VAT nature code the lines use, once each. -->
  <xsl:template name="legenda-nature">
    <xsl:param name="nature"/>
    <xsl:if test="$nature">
      <p class="legenda">
        <xsl:text>Natura IVA: </xsl:text>
        <xsl:for-each select="set:distinct($nature)">
          <xsl:if test="position() &gt; 1">
            <xsl:text>; </xsl:text>
          </xsl:if>
          <xsl:call-template name="valore"/>
        </xsl:for-each>
      </p>
    </xsl:if>
  </xsl:template>

  <!-- Context: a ScontoMaggiorazione. "sconto 10,00 %: 25,00": the kind in
       words, the rate, the amount. -->
  <xsl:template name="sconto">
    <xsl:variable name="tipo" select="normalize-space(*[local-name()='Tipo'])"/>
    <xsl:variable name="parola" select="substring-before(substring-after($tab-sconto-maggiorazione, concat('|', $tipo, '=')), '|')"/>
    <xsl:choose>
      <xsl:when test="$parola != ''"><xsl:value-of select="$parola"/></xsl:when>
      <xsl:when test="$tipo != ''"><xsl:value-of select="$tipo"/></xsl:when>
      <xsl:otherwise>sconto/maggiorazione</xsl:otherwise>
    </xsl:choose>
    <xsl:for-each select="*[local-name()='Percentuale'][normalize-space()]">
      <xsl:text> </xsl:text>
      <xsl:call-template name="numero"/>
      <xsl:text>&#160;%</xsl:text>
    </xsl:for-each>
    <xsl:for-each select="*[local-name()='Importo'][normalize-space()]">
      <xsl:text>: </xsl:text>
      <xsl:call-template name="numero"/>
    </xsl:for-each>
    <xsl:for-each select="*[local-name()!='Tipo' and local-name()!='Percentuale' and local-name()!='Importo'][normalize-space()]">
      <xsl:text> · </xsl:text>
      <xsl:call-template name="etichetta"/>
      <xsl:text>: </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
  </xsl:template>

  <!-- The less common line fields, under the description; only present
       ones produce output. -->
  <xsl:template name="dettagli-riga">
    <xsl:variable name="dettagli" select="*[not(contains($noti-riga, concat('|', local-name(), '|')))][* or normalize-space()]"/>
    <xsl:if test="$dettagli">
      <!-- The end dates go with the first start date; looked up once per line,
           not once per field. -->
      <xsl:variable name="fini" select="$dettagli[local-name()='DataFinePeriodo'][normalize-space()]"/>
      <xsl:variable name="primo-inizio" select="generate-id($dettagli[local-name()='DataInizioPeriodo'][normalize-space()][1])"/>
      <xsl:for-each select="$dettagli">
        <xsl:variable name="n" select="local-name()"/>
        <xsl:choose>
          <xsl:when test="$n = 'DataInizioPeriodo'">
            <div class="x">
              <xsl:text>Periodo dal </xsl:text>
              <xsl:call-template name="data"/>
              <xsl:if test="generate-id() = $primo-inizio">
                <xsl:for-each select="$fini">
                  <xsl:text> al </xsl:text>
                  <xsl:call-template name="data"/>
                </xsl:for-each>
              </xsl:if>
            </div>
          </xsl:when>
          <xsl:when test="$n = 'DataFinePeriodo'">
            <xsl:if test="$primo-inizio = ''">
              <div class="x">
                <xsl:text>Periodo fino al </xsl:text>
                <xsl:call-template name="data"/>
              </div>
            </xsl:if>
          </xsl:when>
          <xsl:when test="$n = 'AltriDatiGestionali'">
            <div class="x">
              <xsl:text>Altri dati gestionali: </xsl:text>
              <xsl:call-template name="composto"/>
            </div>
          </xsl:when>
          <xsl:otherwise>
            <div class="x">
              <xsl:call-template name="etichetta"/>
              <xsl:text>: </xsl:text>
              <xsl:choose>
                <xsl:when test="*">
                  <xsl:call-template name="composto"/>
                </xsl:when>
                <xsl:otherwise>
                  <xsl:call-template name="valore"/>
                </xsl:otherwise>
              </xsl:choose>
            </div>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <!-- ================================ simplified invoice: goods/services -->

  <xsl:template name="beni-semplificati">
    <xsl:param name="beni"/>
    <!-- One look through the goods' fields for both optional columns. -->
    <xsl:variable name="facoltativi" select="$beni/*[local-name()='Natura' or local-name()='RiferimentoNormativo']"/>
    <xsl:variable name="k-natura" select="boolean($facoltativi[local-name()='Natura'])"/>
    <xsl:variable name="k-rif" select="boolean($facoltativi[local-name()='RiferimentoNormativo'])"/>
    <h3>Beni e servizi</h3>
    <table class="t">
      <thead>
        <tr>
          <th>Descrizione</th>
          <th class="r">Importo</th>
          <th class="r">Aliquota IVA %</th>
          <th class="r">Imposta</th>
          <xsl:if test="$k-natura"><th>Natura</th></xsl:if>
          <xsl:if test="$k-rif"><th>Riferimento normativo</th></xsl:if>
        </tr>
      </thead>
      <tbody>
        <xsl:for-each select="$beni">
          <xsl:variable name="iva" select="*[local-name()='DatiIVA']"/>
          <!-- The unknown fields of the goods, and DatiIVA for its own, in
               document order. -->
          <xsl:variable name="altri" select="*[* or normalize-space()][local-name()='DatiIVA' or not(contains($noti-bene-semplificato, concat('|', local-name(), '|')))]"/>
          <tr>
            <td class="testo">
              <xsl:for-each select="*[local-name()='Descrizione']">
                <xsl:call-template name="testo-libero"/>
              </xsl:for-each>
              <xsl:choose>
                <xsl:when test="count($altri) &gt; $ignoti-in-elenco">
                  <div class="x testo">
                    <xsl:call-template name="altri-del-bene">
                      <xsl:with-param name="nodi" select="$altri"/>
                      <xsl:with-param name="in-elenco" select="true()"/>
                    </xsl:call-template>
                  </div>
                </xsl:when>
                <xsl:otherwise>
                  <xsl:call-template name="altri-del-bene">
                    <xsl:with-param name="nodi" select="$altri"/>
                    <xsl:with-param name="in-elenco" select="false()"/>
                  </xsl:call-template>
                </xsl:otherwise>
              </xsl:choose>
            </td>
            <!-- A value shows a node set's first node: [1] lets the look stop there. -->
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='Importo'][1])"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space($iva/*[local-name()='Aliquota'][1])"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space($iva/*[local-name()='Imposta'][1])"/></xsl:call-template></td>
            <xsl:if test="$k-natura">
              <td>
                <xsl:for-each select="*[local-name()='Natura'][normalize-space()]">
                  <xsl:call-template name="valore"/>
                </xsl:for-each>
              </td>
            </xsl:if>
            <xsl:if test="$k-rif">
              <td><xsl:value-of select="normalize-space(*[local-name()='RiferimentoNormativo'])"/></td>
            </xsl:if>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

  <!-- The unknown fields of simplified goods, a block or a line of text each,
       and those of their DatiIVA where it stands. -->
  <xsl:template name="altri-del-bene">
    <xsl:param name="nodi"/>
    <xsl:param name="in-elenco"/>
    <xsl:for-each select="$nodi">
      <xsl:choose>
        <xsl:when test="local-name()='DatiIVA'">
          <xsl:call-template name="ignoti-iva"/>
        </xsl:when>
        <xsl:when test="$in-elenco">
          <xsl:call-template name="riga-ignota"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="ignoto"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:for-each>
  </xsl:template>

  <!-- Context: the DatiIVA of simplified goods; rate and tax have columns. -->
  <xsl:template name="ignoti-iva">
    <xsl:call-template name="ignoti">
      <xsl:with-param name="nodi" select="*"/>
      <xsl:with-param name="noti" select="concat($noti-bene-semplificato, 'Aliquota|Imposta|')"/>
    </xsl:call-template>
  </xsl:template>

  <!-- ====================================================== VAT summary -->

  <xsl:template name="riepilogo">
    <xsl:param name="r"/>
    <xsl:variable name="k-natura" select="boolean($r/*[local-name()='Natura'])"/>
    <xsl:variable name="k-spese" select="boolean($r/*[local-name()='SpeseAccessorie'])"/>
    <xsl:variable name="k-arr" select="boolean($r/*[local-name()='Arrotondamento'])"/>
    <xsl:variable name="k-esig" select="boolean($r/*[local-name()='EsigibilitaIVA'])"/>
    <xsl:variable name="k-rif" select="boolean($r/*[local-name()='RiferimentoNormativo' or not(contains($noti-riepilogo, concat('|', local-name(), '|')))])"/>
    <h3>Riepilogo IVA</h3>
    <table class="t">
      <thead>
        <tr>
          <th class="r">Aliquota IVA %</th>
          <xsl:if test="$k-natura"><th>Natura</th></xsl:if>
          <xsl:if test="$k-spese"><th class="r">Spese accessorie</th></xsl:if>
          <xsl:if test="$k-arr"><th class="r">Arrotondamento</th></xsl:if>
          <th class="r">Imponibile</th>
          <th class="r">Imposta</th>
          <xsl:if test="$k-esig"><th>Esigibilità IVA</th></xsl:if>
          <xsl:if test="$k-rif"><th>Riferimento normativo</th></xsl:if>
        </tr>
      </thead>
      <tbody>
        <xsl:for-each select="$r">
          <tr>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='AliquotaIVA'])"/></xsl:call-template></td>
            <xsl:if test="$k-natura">
              <td>
                <xsl:for-each select="*[local-name()='Natura'][normalize-space()]">
                  <xsl:call-template name="valore"/>
                </xsl:for-each>
              </td>
            </xsl:if>
            <xsl:if test="$k-spese">
              <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='SpeseAccessorie'])"/></xsl:call-template></td>
            </xsl:if>
            <xsl:if test="$k-arr">
              <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='Arrotondamento'])"/></xsl:call-template></td>
            </xsl:if>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='ImponibileImporto'])"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='Imposta'])"/></xsl:call-template></td>
            <xsl:if test="$k-esig">
              <td>
                <xsl:for-each select="*[local-name()='EsigibilitaIVA'][normalize-space()]">
                  <xsl:call-template name="valore"/>
                </xsl:for-each>
              </td>
            </xsl:if>
            <xsl:if test="$k-rif">
              <td>
                <xsl:value-of select="normalize-space(*[local-name()='RiferimentoNormativo'])"/>
                <xsl:call-template name="ignoti">
                  <xsl:with-param name="nodi" select="*"/>
                  <xsl:with-param name="noti" select="$noti-riepilogo"/>
                </xsl:call-template>
              </td>
            </xsl:if>
          </tr>
        </xsl:for-each>
      </tbody>
      <xsl:if test="count($r) &gt; 1">
        <tfoot>
          <tr class="somma">
            <th class="r">Totale</th>
            <xsl:if test="$k-natura"><td></td></xsl:if>
            <xsl:if test="$k-spese">
              <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/*[local-name()='SpeseAccessorie']"/></xsl:call-template></td>
            </xsl:if>
            <xsl:if test="$k-arr">
              <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/*[local-name()='Arrotondamento']"/></xsl:call-template></td>
            </xsl:if>
            <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/*[local-name()='ImponibileImporto']"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/*[local-name()='Imposta']"/></xsl:call-template></td>
            <xsl:if test="$k-esig"><td></td></xsl:if>
            <xsl:if test="$k-rif"><td></td></xsl:if>
          </tr>
        </tfoot>
      </xsl:if>
    </table>
  </xsl:template>

  <!-- =========================================================== totals -->

  <!-- Context: a FatturaElettronicaBody. The sum of the VAT summary's taxable
       amounts and taxes or, for simplified goods, of their amounts; NaN when
       the body has neither or a value is not a number. -->
  <xsl:template name="totale-calcolato">
    <xsl:variable name="bs" select="*[local-name()='DatiBeniServizi']"/>
    <xsl:variable name="riepiloghi" select="$bs/*[local-name()='DatiRiepilogo']"/>
    <xsl:choose>
      <xsl:when test="$riepiloghi">
        <xsl:value-of select="sum($riepiloghi/*[local-name()='ImponibileImporto']) + sum($riepiloghi/*[local-name()='Imposta'])"/>
      </xsl:when>
      <xsl:when test="$bs/*[local-name()='Importo']">
        <xsl:value-of select="sum($bs/*[local-name()='Importo'])"/>
      </xsl:when>
      <xsl:otherwise>NaN</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- An amount computed here, to the cent. -->
  <xsl:template name="cifra">
    <xsl:param name="x"/>
    <xsl:value-of select="format-number($x, '#.##0,00;-#.##0,00', 'it')"/>
  </xsl:template>

  <!-- The sum of amounts as written, or nothing when one is not a number. -->
  <xsl:template name="somma">
    <xsl:param name="nodi"/>
    <xsl:variable name="x" select="sum($nodi)"/>
    <xsl:if test="$x = $x">
      <xsl:call-template name="cifra">
        <xsl:with-param name="x" select="$x"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- Context: a FatturaElettronicaBody. The document's total as the band and
       the totals show it: the stated one, or, without it, the computed one
       marked "calcolato"; where the two differ by more than a cent, both, the
       computed one marked. Nothing when neither is known. -->
  <xsl:template name="cifra-totale">
    <xsl:param name="divisa"/>
    <xsl:variable name="doc" select="*[local-name()='DatiGenerali']/*[local-name()='DatiGeneraliDocumento']"/>
    <!-- "[name][1]" stops at the first match; another predicate before "[1]" would make
         the look visit every field of the document. -->
    <xsl:variable name="dichiarato" select="($doc/*[local-name()='ImportoTotaleDocumento'][1])[normalize-space()]"/>
    <xsl:variable name="calcolato-testo">
      <xsl:call-template name="totale-calcolato"/>
    </xsl:variable>
    <xsl:variable name="calcolato" select="number($calcolato-testo)"/>
    <xsl:variable name="d" select="normalize-space($doc/*[local-name()='Divisa'][1])"/>
    <xsl:choose>
      <xsl:when test="$dichiarato">
        <span class="cifra">
          <xsl:for-each select="$dichiarato">
            <xsl:call-template name="numero"/>
          </xsl:for-each>
          <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
        </span>
        <xsl:if test="$calcolato = $calcolato and (number($dichiarato) - $calcolato &gt; 0.0100001 or $calcolato - number($dichiarato) &gt; 0.0100001)">
          <span class="calcolato">
            <xsl:text>calcolato: </xsl:text>
            <xsl:call-template name="cifra"><xsl:with-param name="x" select="$calcolato"/></xsl:call-template>
            <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
          </span>
        </xsl:if>
      </xsl:when>
      <xsl:when test="$calcolato = $calcolato">
        <span class="cifra">
          <xsl:call-template name="cifra"><xsl:with-param name="x" select="$calcolato"/></xsl:call-template>
          <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
        </span>
        <span class="calcolato">calcolato</span>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- Context: a FatturaElettronicaBody. Total, stamp duty, social-security
       contributions, withholding taxes and, with these, the net amount to pay. -->
  <xsl:template name="totali">
    <xsl:variable name="doc" select="*[local-name()='DatiGenerali']/*[local-name()='DatiGeneraliDocumento']"/>
    <xsl:variable name="totale">
      <xsl:call-template name="cifra-totale"/>
    </xsl:variable>
    <xsl:if test="string($totale) != ''">
      <xsl:variable name="ritenute" select="$doc/*[local-name()='DatiRitenuta'][*[local-name()='ImportoRitenuta'][normalize-space()]]"/>
      <xsl:variable name="d" select="normalize-space($doc/*[local-name()='Divisa'][1])"/>
      <table class="totali">
        <tr class="grande">
          <th>Totale documento</th>
          <td><xsl:copy-of select="$totale"/></td>
        </tr>
        <xsl:for-each select="$doc/*[local-name()='DatiCassaPrevidenziale'][*[local-name()='ImportoContributoCassa'][normalize-space()]]">
          <tr>
            <th>
              <xsl:text>Contributo cassa previdenziale </xsl:text>
              <xsl:for-each select="*[local-name()='TipoCassa'][1]">
                <xsl:call-template name="valore"/>
              </xsl:for-each>
            </th>
            <td><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='ImportoContributoCassa'])"/></xsl:call-template></td>
          </tr>
        </xsl:for-each>
        <xsl:for-each select="$doc/*[local-name()='DatiBollo'][*[local-name()='ImportoBollo'][normalize-space()]]">
          <tr>
            <th>Imposta di bollo</th>
            <td><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='ImportoBollo'])"/></xsl:call-template></td>
          </tr>
        </xsl:for-each>
        <xsl:for-each select="$ritenute">
          <tr>
            <th>
              <xsl:text>Ritenuta </xsl:text>
              <xsl:for-each select="*[local-name()='TipoRitenuta'][1]">
                <xsl:call-template name="valore"/>
              </xsl:for-each>
              <xsl:for-each select="(*[local-name()='AliquotaRitenuta'][1])[normalize-space()]">
                <xsl:text> (</xsl:text>
                <xsl:call-template name="numero"/>
                <xsl:text> %)</xsl:text>
              </xsl:for-each>
            </th>
            <td>
              <xsl:text>- </xsl:text>
              <xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='ImportoRitenuta'])"/></xsl:call-template>
            </td>
          </tr>
        </xsl:for-each>
        <xsl:if test="$ritenute">
          <xsl:variable name="dichiarato" select="($doc/*[local-name()='ImportoTotaleDocumento'][1])[normalize-space()]"/>
          <xsl:variable name="base-testo">
            <xsl:choose>
              <xsl:when test="$dichiarato"><xsl:value-of select="number($dichiarato)"/></xsl:when>
              <xsl:otherwise><xsl:call-template name="totale-calcolato"/></xsl:otherwise>
            </xsl:choose>
          </xsl:variable>
          <xsl:variable name="netto" select="number($base-testo) - sum($ritenute/*[local-name()='ImportoRitenuta'])"/>
          <xsl:if test="$netto = $netto">
            <tr class="grande">
              <th>Netto a pagare</th>
              <td>
                <xsl:call-template name="cifra"><xsl:with-param name="x" select="$netto"/></xsl:call-template>
                <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
              </td>
            </tr>
          </xsl:if>
        </xsl:if>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- ========================================================= payments -->

  <xsl:template name="pagamenti">
    <xsl:param name="dp"/>
    <xsl:if test="$dp">
      <h3>Pagamento</h3>
      <xsl:for-each select="$dp">
        <p>
          <span class="l">Condizioni di pagamento: </span>
          <xsl:for-each select="*[local-name()='CondizioniPagamento']">
            <xsl:call-template name="valore"/>
          </xsl:for-each>
        </p>
        <xsl:call-template name="ignoti">
          <xsl:with-param name="nodi" select="*"/>
          <xsl:with-param name="noti" select="'|CondizioniPagamento|DettaglioPagamento|'"/>
        </xsl:call-template>
        <xsl:variable name="dettagli" select="*[local-name()='DettaglioPagamento']"/>
        <xsl:if test="$dettagli">
          <table class="t">
            <thead>
              <tr>
                <th>Modalità</th>
                <th>Scadenza</th>
                <th class="r">Importo</th>
                <th>Dettagli</th>
              </tr>
            </thead>
            <tbody>
              <xsl:for-each select="$dettagli">
                <tr>
                  <td>
                    <xsl:for-each select="*[local-name()='ModalitaPagamento']">
                      <xsl:call-template name="valore"/>
                    </xsl:for-each>
                  </td>
                  <td>
                    <xsl:for-each select="*[local-name()='DataScadenzaPagamento']">
                      <xsl:call-template name="data"/>
                    </xsl:for-each>
                  </td>
                  <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(*[local-name()='ImportoPagamento'])"/></xsl:call-template></td>
                  <td>
                    <xsl:for-each select="*[not(contains($noti-pagamento, concat('|', local-name(), '|')))][* or normalize-space()]">
                      <xsl:if test="position() &gt; 1">
                        <br/>
                      </xsl:if>
                      <span class="l">
                        <xsl:call-template name="etichetta"/>
                        <xsl:text>: </xsl:text>
                      </span>
                      <xsl:choose>
                        <xsl:when test="*">
                          <xsl:call-template name="composto"/>
                        </xsl:when>
                        <xsl:otherwise>
                          <xsl:call-template name="valore"/>
                        </xsl:otherwise>
                      </xsl:choose>
                    </xsl:for-each>
                  </td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:if>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <!-- ====================================================== attachments -->

  <!-- Attachments are listed with their size; the Base64 content itself is
       never written into the page. -->
  <xsl:variable name="allegati-in-tabella" select="1000"/>

  <xsl:template name="allegati">
    <xsl:param name="a"/>
    <xsl:if test="$a">
      <h3>Allegati</h3>
      <xsl:choose>
        <xsl:when test="count($a) &gt; $allegati-in-tabella">
          <xsl:call-template name="elenco-allegati">
            <xsl:with-param name="a" select="$a"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="tabella-allegati">
            <xsl:with-param name="a" select="$a"/>
          </xsl:call-template>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:if>
  </xsl:template>

  <!-- A longer list than any invoice carries, one attachment a line of plain text: a table
       row costs a dozen nodes of the page's tree, more memory than the attachment's own XML.
       The lines go in blocks of a few dozen: the processor appends to a long text by copying
       it whole, so a single block would cost time growing with the square of the lines. -->
  <xsl:variable name="allegati-per-blocco" select="40"/>

  <xsl:template name="elenco-allegati">
    <xsl:param name="a"/>
    <xsl:choose>
      <xsl:when test="$a[position() &lt; last()][local-name(following-sibling::*[1]) != 'Allegati']">
        <xsl:for-each select="$a">
          <div class="testo">
            <xsl:call-template name="voce-allegato"/>
          </div>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <xsl:for-each select="$a[position() mod $allegati-per-blocco = 1]">
          <div class="testo">
            <xsl:call-template name="voci-allegati">
              <xsl:with-param name="quante" select="$allegati-per-blocco"/>
            </xsl:call-template>
          </div>
        </xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- This attachment and those that follow it as siblings, up to `quante`, a line each. -->
  <xsl:template name="voci-allegati">
    <xsl:param name="quante"/>
    <xsl:call-template name="voce-allegato"/>
    <xsl:if test="$quante &gt; 1">
      <xsl:variable name="seguente" select="following-sibling::*[1]"/>
      <xsl:for-each select="$seguente[local-name()='Allegati']">
        <xsl:text>&#10;</xsl:text>
        <xsl:call-template name="voci-allegati">
          <xsl:with-param name="quante" select="$quante - 1"/>
        </xsl:call-template>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <!-- "name · format · compression · description · other fields · size", the parts that are
       there. -->
  <xsl:template name="voce-allegato">
    <xsl:value-of select="normalize-space(*[local-name()='NomeAttachment'])"/>
    <xsl:for-each select="*[local-name()='FormatoAttachment'][1][normalize-space()] | *[local-name()='AlgoritmoCompressione'][1][normalize-space()] | *[local-name()='DescrizioneAttachment'][1][normalize-space()]">
      <xsl:text> · </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
    <xsl:for-each select="*[not(contains($noti-allegato, concat('|', local-name(), '|')))][* or normalize-space()]">
      <xsl:text> · </xsl:text>
      <xsl:call-template name="etichetta"/>
      <xsl:text>: </xsl:text>
      <xsl:choose>
        <xsl:when test="*">
          <xsl:call-template name="composto"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="valore"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:for-each>
    <xsl:for-each select="*[local-name()='Attachment'][1]">
      <xsl:text> · </xsl:text>
      <xsl:call-template name="dimensione-allegato"/>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="tabella-allegati">
    <xsl:param name="a"/>
    <table class="t">
      <thead>
        <tr>
          <th>Nome file</th>
          <th>Formato</th>
          <th>Compressione</th>
          <th>Descrizione</th>
          <th class="r">Dimensione</th>
        </tr>
      </thead>
      <tbody>
        <xsl:for-each select="$a">
          <tr>
            <td><xsl:value-of select="normalize-space(*[local-name()='NomeAttachment'])"/></td>
            <td><xsl:value-of select="normalize-space(*[local-name()='FormatoAttachment'])"/></td>
            <td><xsl:value-of select="normalize-space(*[local-name()='AlgoritmoCompressione'])"/></td>
            <td>
              <xsl:value-of select="normalize-space(*[local-name()='DescrizioneAttachment'])"/>
              <xsl:call-template name="ignoti">
                <xsl:with-param name="nodi" select="*"/>
                <xsl:with-param name="noti" select="$noti-allegato"/>
              </xsl:call-template>
            </td>
            <td class="r">
              <xsl:for-each select="*[local-name()='Attachment'][1]">
                <xsl:call-template name="dimensione-allegato"/>
              </xsl:for-each>
            </td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

</xsl:stylesheet>
