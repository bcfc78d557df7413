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
                xmlns:set="http://exslt.org/sets" xmlns:conti="urn:ondivo:conti"
                exclude-result-prefixes="set conti">

  <xsl:variable name="noti-dati-generali" select="'|DatiGeneraliDocumento|DatiOrdineAcquisto|DatiContratto|DatiConvenzione|DatiRicezione|DatiFattureCollegate|DatiSAL|DatiDDT|DatiTrasporto|FatturaPrincipale|DatiFatturaRettificata|'"/>
  <xsl:variable name="noti-corpo" select="'|DatiGenerali|DatiBeniServizi|DatiVeicoli|DatiPagamento|Allegati|'"/>
  <xsl:variable name="noti-riferimento" select="'|RiferimentoNumeroLinea|IdDocumento|Data|NumItem|CodiceCommessaConvenzione|CodiceCUP|CodiceCIG|'"/>
  <!-- The fields a line's columns show; "riga" counts the same ones to tell a usual line. -->
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
    <xsl:variable name="dg" select="DatiGenerali"/>
    <xsl:variable name="doc" select="$dg/DatiGeneraliDocumento"/>
    <xsl:variable name="bs" select="DatiBeniServizi"/>
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

      <xsl:for-each select="$dg/DatiFatturaRettificata">
        <h3>Fattura rettificata</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:call-template name="riferimenti">
        <xsl:with-param name="rif" select="$dg/*[self::DatiOrdineAcquisto or self::DatiContratto or self::DatiConvenzione or self::DatiRicezione or self::DatiFattureCollegate]"/>
      </xsl:call-template>

      <xsl:variable name="sal" select="$dg/DatiSAL[* or normalize-space()]"/>
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
        <xsl:with-param name="ddt" select="$dg/DatiDDT"/>
      </xsl:call-template>

      <xsl:for-each select="$dg/DatiTrasporto">
        <h3>Trasporto</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:for-each select="$dg/FatturaPrincipale">
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

      <xsl:variable name="righe" select="$bs/DettaglioLinee"/>
      <xsl:if test="$righe">
        <xsl:call-template name="righe">
          <xsl:with-param name="righe" select="$righe"/>
        </xsl:call-template>
      </xsl:if>

      <!-- Goods of the simplified kind stand in a DatiBeniServizi without lines; in one with
           lines, such fields are shown with the other unknown ones below. -->
      <xsl:variable name="semplici" select="$bs[not(DettaglioLinee[1])][Descrizione or Importo or DatiIVA]"/>
      <xsl:if test="$semplici">
        <xsl:call-template name="beni-semplificati">
          <xsl:with-param name="beni" select="$semplici"/>
        </xsl:call-template>
      </xsl:if>

      <xsl:variable name="altri-bs" select="$bs[DettaglioLinee[1] or not(Descrizione or Importo or DatiIVA)][count(*) != count(DettaglioLinee) + count(DatiRiepilogo)]/*[not(self::DettaglioLinee) and not(self::DatiRiepilogo)]"/>
      <xsl:if test="$altri-bs">
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="$altri-bs"/>
          </xsl:call-template>
        </table>
      </xsl:if>

      <xsl:variable name="riepilogo" select="$bs/DatiRiepilogo"/>
      <xsl:if test="$riepilogo">
        <xsl:call-template name="riepilogo">
          <xsl:with-param name="r" select="$riepilogo"/>
        </xsl:call-template>
      </xsl:if>

      <xsl:call-template name="totali"/>

      <xsl:for-each select="DatiVeicoli">
        <h3>Veicoli</h3>
        <table class="kv">
          <xsl:call-template name="righe-kv">
            <xsl:with-param name="nodi" select="*"/>
          </xsl:call-template>
        </table>
      </xsl:for-each>

      <xsl:call-template name="pagamenti">
        <xsl:with-param name="dp" select="DatiPagamento"/>
      </xsl:call-template>

      <xsl:call-template name="allegati">
        <xsl:with-param name="a" select="Allegati"/>
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
      <xsl:variable name="k-data" select="boolean($rif/Data)"/>
      <xsl:variable name="k-item" select="boolean($rif/NumItem)"/>
      <xsl:variable name="k-comm" select="boolean($rif/CodiceCommessaConvenzione)"/>
      <xsl:variable name="k-cup" select="boolean($rif/CodiceCUP)"/>
      <xsl:variable name="k-cig" select="boolean($rif/CodiceCIG)"/>
      <xsl:variable name="k-linee" select="boolean($rif/RiferimentoNumeroLinea)"/>
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
                <xsl:value-of select="normalize-space(IdDocumento)"/>
                <xsl:call-template name="ignoti">
                  <xsl:with-param name="nodi" select="*"/>
                  <xsl:with-param name="noti" select="$noti-riferimento"/>
                </xsl:call-template>
              </td>
              <xsl:if test="$k-data">
                <td>
                  <xsl:for-each select="Data">
                    <xsl:call-template name="data"/>
                  </xsl:for-each>
                </td>
              </xsl:if>
              <xsl:if test="$k-item">
                <td><xsl:value-of select="normalize-space(NumItem)"/></td>
              </xsl:if>
              <xsl:if test="$k-comm">
                <td><xsl:value-of select="normalize-space(CodiceCommessaConvenzione)"/></td>
              </xsl:if>
              <xsl:if test="$k-cup">
                <td><xsl:value-of select="normalize-space(CodiceCUP)"/></td>
              </xsl:if>
              <xsl:if test="$k-cig">
                <td><xsl:value-of select="normalize-space(CodiceCIG)"/></td>
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
    <xsl:for-each select="RiferimentoNumeroLinea[normalize-space()]">
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
              <td><xsl:value-of select="normalize-space(NumeroDDT)"/></td>
              <td>
                <xsl:for-each select="DataDDT">
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
  <xsl:variable name="righe-per-blocco" select="1000"/> <!-- also written out below -->

  <xsl:template name="righe">
    <xsl:param name="righe"/>
    <!-- The optional columns: each look stops at the first line that has the field. -->
    <xsl:variable name="k-cod" select="boolean($righe[CodiceArticolo][1])"/>
    <xsl:variable name="k-qta" select="boolean($righe[Quantita or UnitaMisura][1])"/>
    <xsl:variable name="k-sc" select="boolean($righe[ScontoMaggiorazione][1])"/>
    <!-- The cells carry no class: the table says which optional columns it has, and the
         style finds each column by its place. -->
    <xsl:variable name="classe" select="concat('t righe', substring(' codice', 1, 7 * $k-cod), substring(' quantita', 1, 9 * $k-qta), substring(' sconto', 1, 7 * $k-sc))"/>
    <h3>Dettaglio beni e servizi</h3>
    <xsl:choose>
      <!-- Blocks are made of consecutive sibling lines, as the lines of an
           invoice are; lines spread otherwise make one table. -->
      <xsl:when test="count($righe) &lt;= $righe-per-blocco or count($righe[1]/following-sibling::DettaglioLinee) != count($righe) - 1 or count($righe[last()]/preceding-sibling::*) - count($righe[1]/preceding-sibling::*) != count($righe) - 1">
        <table class="{$classe}">
          <xsl:call-template name="righe-intestazione">
            <xsl:with-param name="k-cod" select="$k-cod"/>
            <xsl:with-param name="k-qta" select="$k-qta"/>
            <xsl:with-param name="k-sc" select="$k-sc"/>
          </xsl:call-template>
          <tbody>
            <xsl:call-template name="righe-corpo">
              <xsl:with-param name="k-cod" select="$k-cod"/>
              <xsl:with-param name="k-qta" select="$k-qta"/>
              <xsl:with-param name="k-sc" select="$k-sc"/>
              <xsl:with-param name="righe" select="$righe"/>
            </xsl:call-template>
          </tbody>
        </table>
      </xsl:when>
      <xsl:otherwise>
        <!-- The number, not the variable, in a test made on every line: a global variable is
             looked up by name each time. -->
        <xsl:for-each select="$righe[position() mod 1000 = 1]">
          <div class="blocco-righe">
            <table class="{$classe}">
              <xsl:call-template name="righe-intestazione">
                <xsl:with-param name="k-cod" select="$k-cod"/>
                <xsl:with-param name="k-qta" select="$k-qta"/>
                <xsl:with-param name="k-sc" select="$k-sc"/>
                <xsl:with-param name="ripetuta" select="position() &gt; 1"/>
              </xsl:call-template>
              <tbody>
                <xsl:call-template name="gruppi-seguenti">
                  <xsl:with-param name="k-cod" select="$k-cod"/>
                  <xsl:with-param name="k-qta" select="$k-qta"/>
                  <xsl:with-param name="k-sc" select="$k-sc"/>
                  <xsl:with-param name="quanti" select="$righe-per-blocco div $righe-per-gruppo"/>
                </xsl:call-template>
              </tbody>
            </table>
          </div>
        </xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:call-template name="legenda-nature">
      <xsl:with-param name="nature" select="$righe/Natura[normalize-space()]"/>
    </xsl:call-template>
  </xsl:template>

  <!-- A block goes by groups of ten lines: this group, then the next, up to
     `quanti` groups. The lines are consecutive siblings; the next group is
     reached by counting them, and a group is the union of the nine lines after
     the first: a literal position, alone in its step, stops the look at that
     line, where a range of positions would visit every line that follows. -->
  <xsl:variable name="righe-per-gruppo" select="10"/> <!-- also written out below -->

  <xsl:template name="gruppi-seguenti">
    <xsl:param name="k-cod"/>
    <xsl:param name="k-qta"/>
    <xsl:param name="k-sc"/>
    <xsl:param name="quanti"/>
    <xsl:call-template name="righe-corpo">
      <xsl:with-param name="k-cod" select="$k-cod"/>
      <xsl:with-param name="k-qta" select="$k-qta"/>
      <xsl:with-param name="k-sc" select="$k-sc"/>
      <xsl:with-param name="righe" select=". | following-sibling::DettaglioLinee[1] | following-sibling::DettaglioLinee[2] | following-sibling::DettaglioLinee[3] | following-sibling::DettaglioLinee[4] | following-sibling::DettaglioLinee[5] | following-sibling::DettaglioLinee[6] | following-sibling::DettaglioLinee[7] | following-sibling::DettaglioLinee[8] | following-sibling::DettaglioLinee[9]"/>
    </xsl:call-template>
    <xsl:if test="$quanti &gt; 1">
      <xsl:for-each select="following-sibling::DettaglioLinee[10]">
        <xsl:call-template name="gruppi-seguenti">
          <xsl:with-param name="k-cod" select="$k-cod"/>
          <xsl:with-param name="k-qta" select="$k-qta"/>
          <xsl:with-param name="k-sc" select="$k-sc"/>
          <xsl:with-param name="quanti" select="$quanti - 1"/>
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

  <!-- The lines, a row each: few cells and no classes, so that long invoices stay light. A line
       whose description is over 600 characters may split across printed pages; others stay
       whole. -->
  <xsl:template name="righe-corpo">
    <xsl:param name="k-cod"/>
    <xsl:param name="k-qta"/>
    <xsl:param name="k-sc"/>
    <xsl:param name="righe"/>
    <!-- The loop is here, not around a template called for each line: the optional columns
         are then known once for all the lines, not passed to each. -->
    <xsl:for-each select="$righe">
      <xsl:variable name="descrizione" select="string(Descrizione)"/>
      <tr>
        <xsl:if test="string-length($descrizione) &gt; 600">
          <xsl:attribute name="class">lunga</xsl:attribute>
        </xsl:if>
        <td><xsl:value-of select="normalize-space(NumeroLinea)"/></td>
        <xsl:if test="$k-cod">
          <td>
            <xsl:for-each select="CodiceArticolo">
              <xsl:if test="position() &gt; 1">
                <xsl:text>&#10;</xsl:text>
              </xsl:if>
              <!-- Type and value as the file orders them, and anything else the code holds. -->
              <xsl:value-of select="normalize-space(concat(*[1], ' ', *[2]))"/>
              <xsl:if test="*[3] or text()[normalize-space()]">
                <xsl:for-each select="*[position() &gt; 2] | text()[normalize-space()]">
                  <xsl:text> </xsl:text>
                  <xsl:value-of select="normalize-space()"/>
                </xsl:for-each>
              </xsl:if>
            </xsl:for-each>
          </td>
        </xsl:if>
        <td>
          <xsl:choose>
            <!-- Most lines hold the usual fields ("noti-riga") once each, and nothing else:
                 counting tells so in one look. Leading blank space is dropped (see
                 "testo-libero"); a first character that is not blank needs no more work. -->
            <xsl:when test="not(contains(' &#9;&#10;&#13;', substring($descrizione, 1, 1))) and count(*) = count(NumeroLinea[1] | CodiceArticolo | Descrizione[1] | Quantita[1] | UnitaMisura[1] | PrezzoUnitario[1] | ScontoMaggiorazione | PrezzoTotale[1] | AliquotaIVA[1] | Natura[1])">
              <xsl:value-of select="$descrizione"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:for-each select="Descrizione">
                <xsl:call-template name="testo-libero"/>
              </xsl:for-each>
              <!-- Only the other lines are searched for the rest. -->
              <xsl:if test="not(count(*) = count(NumeroLinea[1] | CodiceArticolo | Descrizione[1] | Quantita[1] | UnitaMisura[1] | PrezzoUnitario[1] | ScontoMaggiorazione | PrezzoTotale[1] | AliquotaIVA[1] | Natura[1]))">
                <xsl:call-template name="dettagli-riga"/>
              </xsl:if>
            </xsl:otherwise>
          </xsl:choose>
        </td>
        <xsl:if test="$k-qta">
          <td><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(Quantita)"/></xsl:call-template></td>
          <td><xsl:value-of select="normalize-space(UnitaMisura)"/></td>
        </xsl:if>
        <td><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(PrezzoUnitario)"/></xsl:call-template></td>
        <xsl:if test="$k-sc">
          <td>
            <xsl:for-each select="ScontoMaggiorazione">
              <xsl:if test="position() &gt; 1">
                <xsl:text>&#10;</xsl:text>
              </xsl:if>
              <xsl:call-template name="sconto"/>
            </xsl:for-each>
          </td>
        </xsl:if>
        <td><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(PrezzoTotale)"/></xsl:call-template></td>
        <td>
          <xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(AliquotaIVA)"/></xsl:call-template>
          <xsl:for-each select="Natura[normalize-space()]">
            <xsl:text>&#10;</xsl:text>
            <xsl:value-of select="normalize-space()"/>
          </xsl:for-each>
        </td>
      </tr>
    </xsl:for-each>
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
    <xsl:variable name="tipo" select="normalize-space(Tipo)"/>
    <xsl:variable name="parola" select="substring-before(substring-after($tab-sconto-maggiorazione, concat('|', $tipo, '=')), '|')"/>
    <xsl:choose>
      <xsl:when test="$parola != ''"><xsl:value-of select="$parola"/></xsl:when>
      <xsl:when test="$tipo != ''"><xsl:value-of select="$tipo"/></xsl:when>
      <xsl:otherwise>sconto/maggiorazione</xsl:otherwise>
    </xsl:choose>
    <xsl:for-each select="Percentuale[normalize-space()]">
      <xsl:text> </xsl:text>
      <xsl:call-template name="numero"/>
      <xsl:text>&#160;%</xsl:text>
    </xsl:for-each>
    <xsl:for-each select="Importo[normalize-space()]">
      <xsl:text>: </xsl:text>
      <xsl:call-template name="numero"/>
    </xsl:for-each>
    <xsl:for-each select="*[not(self::Tipo) and not(self::Percentuale) and not(self::Importo)][normalize-space()]">
      <xsl:text> · </xsl:text>
      <xsl:call-template name="etichetta"/>
      <xsl:text>: </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
  </xsl:template>

  <!-- The less common line fields, under the description; only present
       ones produce output. -->
  <xsl:template name="dettagli-riga">
    <!-- A field the columns show once, repeated, is shown here from its second time on. -->
    <xsl:variable name="dettagli" select="*[not(contains($noti-riga, concat('|', local-name(), '|')))][* or normalize-space()] | (NumeroLinea[position() &gt; 1] | Quantita[position() &gt; 1] | UnitaMisura[position() &gt; 1] | PrezzoUnitario[position() &gt; 1] | PrezzoTotale[position() &gt; 1] | AliquotaIVA[position() &gt; 1])[normalize-space()]"/>
    <xsl:if test="$dettagli">
      <!-- The end dates go with the first start date; looked up once per line,
           not once per field. -->
      <xsl:variable name="fini" select="$dettagli[self::DataFinePeriodo][normalize-space()]"/>
      <xsl:variable name="primo-inizio" select="generate-id($dettagli[self::DataInizioPeriodo][normalize-space()][1])"/>
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
    <xsl:variable name="facoltativi" select="$beni/*[self::Natura or self::RiferimentoNormativo]"/>
    <xsl:variable name="k-natura" select="boolean($facoltativi[self::Natura])"/>
    <xsl:variable name="k-rif" select="boolean($facoltativi[self::RiferimentoNormativo])"/>
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
          <xsl:variable name="iva" select="DatiIVA"/>
          <!-- The unknown fields of the goods, and DatiIVA for its own, in
               document order. -->
          <xsl:variable name="altri" select="*[* or normalize-space()][self::DatiIVA or not(contains($noti-bene-semplificato, concat('|', local-name(), '|')))]"/>
          <tr>
            <td class="testo">
              <xsl:for-each select="Descrizione">
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
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(Importo[1])"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space($iva/Aliquota[1])"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space($iva/Imposta[1])"/></xsl:call-template></td>
            <xsl:if test="$k-natura">
              <td>
                <xsl:for-each select="Natura[normalize-space()]">
                  <xsl:call-template name="valore"/>
                </xsl:for-each>
              </td>
            </xsl:if>
            <xsl:if test="$k-rif">
              <td><xsl:value-of select="normalize-space(RiferimentoNormativo)"/></td>
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
        <xsl:when test="self::DatiIVA">
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
    <xsl:variable name="k-natura" select="boolean($r/Natura)"/>
    <xsl:variable name="k-spese" select="boolean($r/SpeseAccessorie)"/>
    <xsl:variable name="k-arr" select="boolean($r/Arrotondamento)"/>
    <xsl:variable name="k-esig" select="boolean($r/EsigibilitaIVA)"/>
    <xsl:variable name="k-rif" select="boolean($r/*[self::RiferimentoNormativo or not(contains($noti-riepilogo, concat('|', local-name(), '|')))])"/>
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
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(AliquotaIVA)"/></xsl:call-template></td>
            <xsl:if test="$k-natura">
              <td>
                <xsl:for-each select="Natura[normalize-space()]">
                  <xsl:call-template name="valore"/>
                </xsl:for-each>
              </td>
            </xsl:if>
            <xsl:if test="$k-spese">
              <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(SpeseAccessorie)"/></xsl:call-template></td>
            </xsl:if>
            <xsl:if test="$k-arr">
              <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(Arrotondamento)"/></xsl:call-template></td>
            </xsl:if>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(ImponibileImporto)"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(Imposta)"/></xsl:call-template></td>
            <xsl:if test="$k-esig">
              <td>
                <xsl:for-each select="EsigibilitaIVA[normalize-space()]">
                  <xsl:call-template name="valore"/>
                </xsl:for-each>
              </td>
            </xsl:if>
            <xsl:if test="$k-rif">
              <td>
                <xsl:value-of select="normalize-space(RiferimentoNormativo)"/>
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
              <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/SpeseAccessorie"/></xsl:call-template></td>
            </xsl:if>
            <xsl:if test="$k-arr">
              <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/Arrotondamento"/></xsl:call-template></td>
            </xsl:if>
            <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/ImponibileImporto"/></xsl:call-template></td>
            <td class="r"><xsl:call-template name="somma"><xsl:with-param name="nodi" select="$r/Imposta"/></xsl:call-template></td>
            <xsl:if test="$k-esig"><td></td></xsl:if>
            <xsl:if test="$k-rif"><td></td></xsl:if>
          </tr>
        </tfoot>
      </xsl:if>
    </table>
  </xsl:template>

  <!-- =========================================================== totals -->

  <!-- The document's figures come from the program (conti:conto), so that the page, the list
       and the command line compute each of them once and alike. Without the program (another
       XSLT processor) the page shows the stated amounts only. -->
  <xsl:variable name="conti" select="function-available('conti:conto')"/>

  <!-- Context: a FatturaElettronicaBody. One figure of the document: exact, with a dot; empty
       when it cannot be known. -->
  <xsl:template name="conto">
    <xsl:param name="campo"/>
    <xsl:if test="$conti">
      <xsl:value-of select="conti:conto(., $campo)"/>
    </xsl:if>
  </xsl:template>

  <!-- An amount computed here, to the cent; never "-0,00". -->
  <xsl:template name="cifra">
    <xsl:param name="x"/>
    <xsl:choose>
      <xsl:when test="$x &gt; -0.005 and $x &lt; 0.005">0,00</xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="format-number($x, '#.##0,00;-#.##0,00', 'it')"/>
      </xsl:otherwise>
    </xsl:choose>
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

  <!-- An amount the program computed, with the currency after it. -->
  <xsl:template name="importo-calcolato">
    <xsl:param name="v"/>
    <xsl:param name="d"/>
    <xsl:call-template name="numero"><xsl:with-param name="v" select="$v"/></xsl:call-template>
    <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
  </xsl:template>

  <!-- Context: a FatturaElettronicaBody. The document's total as the band and
       the totals show it: the stated one, or, without it, the computed one
       marked "calcolato"; where the two differ by more than a cent, both, the
       computed one marked. Nothing when neither is known. -->
  <xsl:template name="cifra-totale">
    <xsl:variable name="doc" select="DatiGenerali/DatiGeneraliDocumento"/>
    <!-- "[name][1]" stops at the first match; another predicate before "[1]" would make
         the look visit every field of the document. -->
    <xsl:variable name="dichiarato" select="($doc/ImportoTotaleDocumento[1])[normalize-space()]"/>
    <xsl:variable name="calcolato">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'totale-calcolato'"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="diverso">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'totale-diverso'"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="d" select="normalize-space($doc/Divisa[1])"/>
    <xsl:choose>
      <xsl:when test="$dichiarato">
        <span class="cifra">
          <xsl:for-each select="$dichiarato">
            <xsl:call-template name="numero"/>
          </xsl:for-each>
          <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
        </span>
        <xsl:if test="string($diverso) != ''">
          <span class="calcolato">
            <xsl:text>calcolato: </xsl:text>
            <xsl:call-template name="importo-calcolato">
              <xsl:with-param name="v" select="string($calcolato)"/>
              <xsl:with-param name="d" select="$d"/>
            </xsl:call-template>
          </span>
        </xsl:if>
      </xsl:when>
      <xsl:when test="string($calcolato) != ''">
        <span class="cifra">
          <xsl:call-template name="importo-calcolato">
            <xsl:with-param name="v" select="string($calcolato)"/>
            <xsl:with-param name="d" select="$d"/>
          </xsl:call-template>
        </span>
        <span class="calcolato">calcolato</span>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- Context: a FatturaElettronicaBody. The net amount in the band, under the total, when it is
       not the total itself: withholdings or VAT under split payment. -->
  <xsl:template name="netto-banda">
    <xsl:variable name="ritenute">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'ritenute'"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="scissa">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'iva-scissa'"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="netto">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'netto'"/></xsl:call-template>
    </xsl:variable>
    <xsl:if test="string($netto) != '' and (string($ritenute) != '' or string($scissa) != '')">
      <span class="netto">
        <xsl:call-template name="parola-netto"/>
        <xsl:text> </xsl:text>
        <xsl:call-template name="importo-calcolato">
          <xsl:with-param name="v" select="string($netto)"/>
          <xsl:with-param name="d" select="normalize-space(DatiGenerali/DatiGeneraliDocumento/Divisa[1])"/>
        </xsl:call-template>
      </span>
    </xsl:if>
  </xsl:template>

  <!-- Context: a FatturaElettronicaBody. What the net amount is to its reader: paid by the
       customer, or, on a credit note, owed back to the customer. -->
  <xsl:template name="parola-netto">
    <xsl:variable name="credito">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'credito'"/></xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="string($credito) != ''">Netto a credito del cliente</xsl:when>
      <xsl:otherwise>Netto a pagare</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- One row of the totals: what it is, how it counts ("+", "-", "=" or a note) and the
       amount. -->
  <xsl:template name="riga-totali">
    <xsl:param name="etichetta"/>
    <xsl:param name="segno" select="''"/>
    <xsl:param name="nota" select="''"/>
    <xsl:param name="classe" select="''"/>
    <xsl:param name="v"/>
    <xsl:param name="d" select="''"/>
    <tr>
      <xsl:if test="$classe != ''"><xsl:attribute name="class"><xsl:value-of select="$classe"/></xsl:attribute></xsl:if>
      <th>
        <xsl:copy-of select="$etichetta"/>
        <xsl:if test="$nota != ''">
          <span class="nota"><xsl:value-of select="$nota"/></span>
        </xsl:if>
      </th>
      <td class="segno"><xsl:value-of select="$segno"/></td>
      <td>
        <xsl:call-template name="importo-calcolato">
          <xsl:with-param name="v" select="$v"/>
          <xsl:with-param name="d" select="$d"/>
        </xsl:call-template>
      </td>
    </tr>
  </xsl:template>

  <!-- Context: a FatturaElettronicaBody. The totals as a sum a reader can check line by line:
       taxable amount, VAT and rounding make the total; contributions and stamp duty are
       already inside it; withholdings and the VAT the customer pays to the Treasury under
       split payment come off it, leaving the net amount, which the payment details should
       ask for. -->
  <xsl:template name="totali">
    <xsl:variable name="doc" select="DatiGenerali/DatiGeneraliDocumento"/>
    <xsl:variable name="totale">
      <xsl:call-template name="cifra-totale"/>
    </xsl:variable>
    <xsl:if test="string($totale) != ''">
      <xsl:variable name="d" select="normalize-space($doc/Divisa[1])"/>
      <xsl:variable name="imponibile">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'imponibile'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="imposta">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'imposta'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="arrotondamento">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'arrotondamento'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="scissa">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'iva-scissa'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="netto">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'netto'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="pagamento">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'pagamento'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="pagamento-diverso">
        <xsl:call-template name="conto"><xsl:with-param name="campo" select="'pagamento-diverso'"/></xsl:call-template>
      </xsl:variable>
      <xsl:variable name="ritenute" select="$doc/DatiRitenuta[ImportoRitenuta[normalize-space()]]"/>
      <table class="totali">
        <xsl:if test="string($imponibile) != '' and string($imposta) != ''">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta" select="'Imponibile'"/>
            <xsl:with-param name="v" select="string($imponibile)"/>
          </xsl:call-template>
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta" select="'IVA'"/>
            <xsl:with-param name="segno" select="'+'"/>
            <xsl:with-param name="v" select="string($imposta)"/>
          </xsl:call-template>
          <xsl:if test="string($arrotondamento) != '' and number($arrotondamento) != 0">
            <xsl:call-template name="riga-totali">
              <xsl:with-param name="etichetta" select="'Arrotondamento'"/>
              <xsl:with-param name="segno" select="'+'"/>
              <xsl:with-param name="v" select="string($arrotondamento)"/>
            </xsl:call-template>
          </xsl:if>
        </xsl:if>
        <tr class="grande">
          <th>Totale documento</th>
          <td class="segno">=</td>
          <td><xsl:copy-of select="$totale"/></td>
        </tr>
        <xsl:for-each select="$doc/DatiCassaPrevidenziale[ImportoContributoCassa[normalize-space()]]">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta">
              <xsl:text>Contributo cassa previdenziale </xsl:text>
              <xsl:for-each select="TipoCassa[1]">
                <xsl:call-template name="valore"/>
              </xsl:for-each>
            </xsl:with-param>
            <xsl:with-param name="nota" select="'già compreso nel totale'"/>
            <xsl:with-param name="classe" select="'compreso'"/>
            <xsl:with-param name="v" select="normalize-space(ImportoContributoCassa)"/>
          </xsl:call-template>
        </xsl:for-each>
        <xsl:for-each select="$doc/DatiBollo[ImportoBollo[normalize-space()]]">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta" select="'Imposta di bollo'"/>
            <xsl:with-param name="nota" select="'non si aggiunge al totale: se addebitata, è tra le righe'"/>
            <xsl:with-param name="classe" select="'compreso'"/>
            <xsl:with-param name="v" select="normalize-space(ImportoBollo)"/>
          </xsl:call-template>
        </xsl:for-each>
        <xsl:for-each select="$ritenute">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta">
              <xsl:text>Ritenuta </xsl:text>
              <xsl:for-each select="TipoRitenuta[1]">
                <xsl:call-template name="valore"/>
              </xsl:for-each>
              <xsl:for-each select="(AliquotaRitenuta[1])[normalize-space()]">
                <xsl:text> (</xsl:text>
                <xsl:call-template name="numero"/>
                <xsl:text> %)</xsl:text>
              </xsl:for-each>
            </xsl:with-param>
            <xsl:with-param name="segno" select="'-'"/>
            <xsl:with-param name="v" select="normalize-space(ImportoRitenuta)"/>
          </xsl:call-template>
        </xsl:for-each>
        <xsl:if test="string($scissa) != ''">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta" select="'IVA in scissione dei pagamenti'"/>
            <xsl:with-param name="nota" select="'versata dal cliente all’Erario'"/>
            <xsl:with-param name="segno" select="'-'"/>
            <xsl:with-param name="v" select="string($scissa)"/>
          </xsl:call-template>
        </xsl:if>
        <xsl:if test="string($netto) != '' and ($ritenute or string($scissa) != '')">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta"><xsl:call-template name="parola-netto"/></xsl:with-param>
            <xsl:with-param name="segno" select="'='"/>
            <xsl:with-param name="classe" select="'grande'"/>
            <xsl:with-param name="v" select="string($netto)"/>
            <xsl:with-param name="d" select="$d"/>
          </xsl:call-template>
        </xsl:if>
        <xsl:if test="string($pagamento-diverso) != ''">
          <xsl:call-template name="riga-totali">
            <xsl:with-param name="etichetta" select="'Importo chiesto nei pagamenti'"/>
            <xsl:with-param name="nota" select="'diverso dal netto calcolato: da verificare con il fornitore'"/>
            <xsl:with-param name="classe" select="'diverso'"/>
            <xsl:with-param name="v" select="string($pagamento)"/>
            <xsl:with-param name="d" select="$d"/>
          </xsl:call-template>
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
          <xsl:for-each select="CondizioniPagamento">
            <xsl:call-template name="valore"/>
          </xsl:for-each>
        </p>
        <xsl:call-template name="ignoti">
          <xsl:with-param name="nodi" select="*"/>
          <xsl:with-param name="noti" select="'|CondizioniPagamento|DettaglioPagamento|'"/>
        </xsl:call-template>
        <xsl:variable name="dettagli" select="DettaglioPagamento"/>
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
                    <xsl:for-each select="ModalitaPagamento">
                      <xsl:call-template name="valore"/>
                    </xsl:for-each>
                  </td>
                  <td>
                    <xsl:choose>
                      <xsl:when test="DataScadenzaPagamento">
                        <xsl:for-each select="DataScadenzaPagamento">
                          <xsl:call-template name="data"/>
                        </xsl:for-each>
                      </xsl:when>
                      <xsl:otherwise>
                        <xsl:call-template name="scadenza"/>
                      </xsl:otherwise>
                    </xsl:choose>
                  </td>
                  <td class="r"><xsl:call-template name="numero"><xsl:with-param name="v" select="normalize-space(ImportoPagamento)"/></xsl:call-template></td>
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
      <xsl:for-each select="$seguente[self::Allegati]">
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
    <xsl:value-of select="normalize-space(NomeAttachment)"/>
    <xsl:for-each select="FormatoAttachment[1][normalize-space()] | AlgoritmoCompressione[1][normalize-space()] | DescrizioneAttachment[1][normalize-space()]">
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
    <xsl:for-each select="Attachment[1]">
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
            <td><xsl:value-of select="normalize-space(NomeAttachment)"/></td>
            <td><xsl:value-of select="normalize-space(FormatoAttachment)"/></td>
            <td><xsl:value-of select="normalize-space(AlgoritmoCompressione)"/></td>
            <td>
              <xsl:value-of select="normalize-space(DescrizioneAttachment)"/>
              <xsl:call-template name="ignoti">
                <xsl:with-param name="nodi" select="*"/>
                <xsl:with-param name="noti" select="$noti-allegato"/>
              </xsl:call-template>
            </td>
            <td class="r">
              <xsl:for-each select="Attachment[1]">
                <xsl:call-template name="dimensione-allegato"/>
              </xsl:for-each>
            </td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

</xsl:stylesheet>
