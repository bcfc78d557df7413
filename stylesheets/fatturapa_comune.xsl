<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ondivo - shared rendering of FatturaPA invoices (FPA12, FPR12, FSM10 and
  the older SdI 1.1 format) as a single HTML page.

  The three public stylesheets import this module; it renders every format,
  so a document routed to the "wrong" sheet still shows all of its data.

  Elements are always matched by local name: the namespace URI (or its
  absence, or a broken one) never matters.

  Layout of the modules:
    fatturapa_comune.xsl  page frame, CSS, header band, parties,
                          transmission data, value formatting helpers
    fatturapa_corpo.xsl   one invoice body (general data, lines, VAT
                          summary, payments, attachments), both the
                          ordinary and the simplified structure
    fatturapa_codici.xsl  code tables and their lookup
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:exsl="http://exslt.org/common" xmlns:set="http://exslt.org/sets"
                xmlns:ondivo="urn:ondivo:indici" xmlns:conti="urn:ondivo:conti"
                exclude-result-prefixes="exsl set ondivo conti">

  <xsl:include href="fatturapa_codici.xsl"/>
  <xsl:include href="fatturapa_corpo.xsl"/>

  <!-- Blank text between elements is not stripped: stripping walks the whole tree before the
       first template, a fifth of the time of a long invoice. The templates read fields by name
       and test text with normalize-space, so blanks between elements never show. -->

  <!-- Set by the importing sheet, shown in the page footer. -->
  <xsl:variable name="foglio" select="''"/>

  <xsl:decimal-format name="it" decimal-separator="," grouping-separator="."/>

  <!-- Elements holding an xs:date or xs:dateTime. -->
  <xsl:variable name="campi-data" select="'|Data|DataDDT|DataOraConsegna|DataOraRitiro|DataInizioTrasporto|DataIscrizioneAlbo|DataInizioPeriodo|DataFinePeriodo|RiferimentoData|DataFatturaPrincipale|DataRiferimentoTerminiPagamento|DataScadenzaPagamento|DataLimitePagamentoAnticipato|DataDecorrenzaPenale|DataFR|'"/>

  <!-- Elements whose values are not shown as written: dates, codes and
       attachments (see "valore"). -->
  <xsl:variable name="campi-speciali" select="concat($campi-data, substring($campi-numero, 2), 'IBAN|Art73|Attachment|BolloVirtuale|CausalePagamento|CodiceDestinatario|CondizioniPagamento|EsigibilitaIVA|FormatoTrasmissione|ModalitaPagamento|Natura|RegimeFiscale|Ritenuta|SocioUnico|SoggettoEmittente|StatoLiquidazione|Tipo|TipoCassa|TipoCessionePrestazione|TipoDocumento|TipoResa|TipoRitenuta|')"/>

  <!-- Elements holding a decimal number: amounts, prices, quantities, rates, weights. -->
  <xsl:variable name="campi-numero" select="'|AlCassa|Aliquota|AliquotaIVA|AliquotaRitenuta|Arrotondamento|CapitaleSociale|ImponibileCassa|ImponibileImporto|Importo|ImportoBollo|ImportoContributoCassa|ImportoPagamento|ImportoRitenuta|ImportoTotaleDocumento|Imposta|PenalitaPagamentiRitardati|Percentuale|PesoLordo|PesoNetto|PrezzoTotale|PrezzoUnitario|Quantita|RiferimentoNumero|ScontoPagamentoAnticipato|SpeseAccessorie|'"/>

  <!-- Percentages: shown with a trailing "%" inside composite rows. -->
  <xsl:variable name="campi-percentuale" select="'|AliquotaRitenuta|AlCassa|AliquotaIVA|Percentuale|Aliquota|'"/>

  <!-- Parts of a name: they make up the heading of a party, not a row. -->
  <xsl:variable name="parti-nome" select="'|Titolo|Denominazione|Nome|Cognome|'"/>

  <!-- Row labels, looked up first as "Parent/Element", then as "Element". -->
  <xsl:variable name="etichette" select="'|IdTrasmittente=Identificativo trasmittente|ProgressivoInvio=Progressivo invio|FormatoTrasmissione=Formato trasmissione|CodiceDestinatario=Codice destinatario|PECDestinatario=PEC destinatario|Telefono=Telefono|Fax=Fax|Email=E-mail|ContattiTrasmittente/Telefono=Telefono trasmittente|ContattiTrasmittente/Email=E-mail trasmittente|IdFiscaleIVA=Partita IVA|CodiceFiscale=Codice fiscale|CodEORI=Codice EORI|AlboProfessionale=Albo professionale|ProvinciaAlbo=Provincia albo|NumeroIscrizioneAlbo=Numero iscrizione albo|DataIscrizioneAlbo=Data iscrizione albo|RegimeFiscale=Regime fiscale|Sede=Sede|StabileOrganizzazione=Stabile organizzazione|IscrizioneREA=Iscrizione REA|RiferimentoAmministrazione=Riferimento amministrazione|RappresentanteFiscale=Rappresentante fiscale|SoggettoEmittente=Soggetto emittente|TipoDocumento=Tipo documento|Divisa=Divisa|DatiGeneraliDocumento/Data=Data documento|DatiGeneraliDocumento/Numero=Numero documento|ImportoTotaleDocumento=Importo totale documento|Arrotondamento=Arrotondamento|Causale=Causale|Art73=Art. 73|BolloVirtuale=Bollo virtuale|DatiBollo=Bollo|DatiRitenuta=Ritenuta|DatiCassaPrevidenziale=Cassa previdenziale|ScontoMaggiorazione=Sconto/maggiorazione|DatiAnagraficiVettore=Vettore|MezzoTrasporto=Mezzo di trasporto|CausaleTrasporto=Causale trasporto|NumeroColli=Numero colli|DatiTrasporto/Descrizione=Descrizione beni trasportati|UnitaMisuraPeso=Unità di misura del peso|PesoLordo=Peso lordo|PesoNetto=Peso netto|DataOraRitiro=Data e ora ritiro|DataInizioTrasporto=Data inizio trasporto|TipoResa=Resa|IndirizzoResa=Indirizzo di resa|DataOraConsegna=Data e ora consegna|NumeroFatturaPrincipale=Numero fattura principale|DataFatturaPrincipale=Data fattura principale|DatiVeicoli/Data=Data prima immatricolazione|TotalePercorso=Percorso totale (km o ore)|NumeroFR=Numero fattura rettificata|DataFR=Data fattura rettificata|ElementiRettificati=Elementi rettificati|Beneficiario=Beneficiario|DataRiferimentoTerminiPagamento=Data riferimento termini|GiorniTerminiPagamento=Giorni termini pagamento|CodUfficioPostale=Codice ufficio postale|CognomeQuietanzante=Cognome quietanzante|NomeQuietanzante=Nome quietanzante|CFQuietanzante=Codice fiscale quietanzante|TitoloQuietanzante=Titolo quietanzante|IstitutoFinanziario=Istituto finanziario|IBAN=IBAN|ABI=ABI|CAB=CAB|BIC=BIC|ScontoPagamentoAnticipato=Sconto pagamento anticipato|DataLimitePagamentoAnticipato=Data limite pagamento anticipato|PenalitaPagamentiRitardati=Penalità pagamenti ritardati|DataDecorrenzaPenale=Data decorrenza penale|CodicePagamento=Codice pagamento|ModalitaPagamento=Modalità|DataScadenzaPagamento=Scadenza|ImportoPagamento=Importo|TipoCessionePrestazione=Tipo cessione/prestazione|Ritenuta=Ritenuta|DatiSAL=Stato avanzamento lavori|RiferimentoFase=Fase|'"/>

  <!-- Prefixes of the parts of a composite value; absent means "Name: ". -->
  <xsl:variable name="prefissi" select="'|DatiRitenuta/TipoRitenuta=|DatiRitenuta/ImportoRitenuta=importo |DatiRitenuta/AliquotaRitenuta=aliquota |DatiRitenuta/CausalePagamento=causale pagamento |DatiBollo/BolloVirtuale=|DatiBollo/ImportoBollo=importo |DatiCassaPrevidenziale/TipoCassa=|DatiCassaPrevidenziale/AlCassa=contributo |DatiCassaPrevidenziale/ImportoContributoCassa=importo contributo |DatiCassaPrevidenziale/ImponibileCassa=imponibile |DatiCassaPrevidenziale/AliquotaIVA=IVA |DatiCassaPrevidenziale/Ritenuta=ritenuta |DatiCassaPrevidenziale/Natura=natura |DatiCassaPrevidenziale/RiferimentoAmministrazione=rif. amministrazione |ScontoMaggiorazione/Tipo=|ScontoMaggiorazione/Percentuale=|ScontoMaggiorazione/Importo=importo |IscrizioneREA/Ufficio=ufficio |IscrizioneREA/NumeroREA=n. |IscrizioneREA/CapitaleSociale=capitale sociale |IscrizioneREA/SocioUnico=|IscrizioneREA/StatoLiquidazione=|IdFiscaleIVA=P.IVA |CodiceFiscale=C.F. |Denominazione=|Nome=|Cognome=|Titolo=|Anagrafica=|NumeroLicenzaGuida=licenza di guida |AltriDatiGestionali/TipoDato=|AltriDatiGestionali/RiferimentoTesto=|AltriDatiGestionali/RiferimentoNumero=|AltriDatiGestionali/RiferimentoData=|DatiSAL/RiferimentoFase=fase |CodiceArticolo/CodiceTipo=|CodiceArticolo/CodiceValore=|'"/>

  <!-- The tables above as nodes, "|k=v|" becoming <ondivo:voce chiave="k">v</ondivo:voce>,
       looked up through the key "voce" in the table's own tree: a lookup
       then costs the same however long the table, where searching the text
       of the table for every value shown would cost its whole length. -->
  <xsl:key name="voce" match="ondivo:voce" use="@chiave"/>
  <xsl:variable name="voci-etichette-rtf">
    <xsl:call-template name="voci">
      <xsl:with-param name="tabella" select="$etichette"/>
    </xsl:call-template>
  </xsl:variable>
  <xsl:variable name="voci-etichette" select="exsl:node-set($voci-etichette-rtf)"/>
  <xsl:variable name="voci-prefissi-rtf">
    <xsl:call-template name="voci">
      <xsl:with-param name="tabella" select="$prefissi"/>
    </xsl:call-template>
  </xsl:variable>
  <xsl:variable name="voci-prefissi" select="exsl:node-set($voci-prefissi-rtf)"/>

  <xsl:template name="voci">
    <xsl:param name="tabella"/>
    <xsl:variable name="voce" select="substring-before(substring-after($tabella, '|'), '|')"/>
    <xsl:if test="$voce != ''">
      <ondivo:voce chiave="{substring-before($voce, '=')}">
        <xsl:value-of select="substring-after($voce, '=')"/>
      </ondivo:voce>
      <xsl:call-template name="voci">
        <xsl:with-param name="tabella" select="substring-after($tabella, $voce)"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- ============================================================ page -->

  <!-- Fields are found by name, in no namespace, as the formats write them below the
       document element. A file whose fields carry a namespace (a default one, or a prefix on
       each field) is read from a copy without namespaces; a signature keeps its own. The
       look goes two levels down, where a namespace on the fields shows. -->
  <xsl:template match="/">
    <xsl:choose>
      <xsl:when test="/*/*[local-name() != 'Signature'][namespace-uri() or *[namespace-uri()]]">
        <xsl:variable name="copia">
          <xsl:apply-templates select="node()" mode="senza-namespace"/>
        </xsl:variable>
        <xsl:for-each select="exsl:node-set($copia)">
          <xsl:call-template name="pagina"/>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="pagina"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="*" mode="senza-namespace">
    <xsl:element name="{local-name()}">
      <xsl:copy-of select="@*"/>
      <xsl:apply-templates mode="senza-namespace"/>
    </xsl:element>
  </xsl:template>

  <xsl:template match="*[local-name() = 'Signature']" mode="senza-namespace">
    <xsl:copy-of select="."/>
  </xsl:template>

  <xsl:template match="comment() | processing-instruction()" mode="senza-namespace"/>

  <!-- Context: the root of the document, or of its copy. -->
  <xsl:template name="pagina">
    <!-- The invoice is the element holding the header: normally the
         document element, but a wrapper around it is tolerated (the first
         element, in document order, that holds one). -->
    <xsl:variable name="fattura" select="/*[FatturaElettronicaHeader] | (/*[not(FatturaElettronicaHeader)]//*[FatturaElettronicaHeader])[1]"/>
    <xsl:variable name="titolo">
      <xsl:call-template name="titolo-pagina">
        <xsl:with-param name="f" select="$fattura[1]"/>
      </xsl:call-template>
    </xsl:variable>
    <html lang="it">
      <head>
        <title><xsl:value-of select="$titolo"/></title>
        <style type="text/css">
          <xsl:call-template name="css"/>
        </style>
      </head>
      <body>
        <!-- In print, the title runs along the top of every page: a fixed line
             is repeated on each page, over the room that the empty heading of
             the table around the page keeps free there. -->
        <div class="corsa"><xsl:value-of select="$titolo"/></div>
        <table class="impaginazione">
          <thead><tr><td></td></tr></thead>
          <tbody><tr><td>
        <div class="pagina">
          <xsl:choose>
            <xsl:when test="$fattura">
              <xsl:apply-templates select="$fattura[1]" mode="fattura"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="documento-sconosciuto"/>
            </xsl:otherwise>
          </xsl:choose>
          <div class="piede">
            <xsl:text>Visualizzazione Ondivo della fattura elettronica</xsl:text>
            <xsl:if test="$foglio != ''">
              <xsl:text> · foglio di stile </xsl:text>
              <xsl:value-of select="$foglio"/>
            </xsl:if>
          </div>
        </div>
          </td></tr></tbody>
        </table>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="titolo-pagina">
    <xsl:param name="f"/>
    <xsl:variable name="corpi" select="$f/FatturaElettronicaBody"/>
    <xsl:variable name="doc" select="$corpi[1]/DatiGenerali/DatiGeneraliDocumento"/>
    <xsl:choose>
      <xsl:when test="count($corpi) &gt; 1">
        <xsl:text>Lotto di </xsl:text>
        <xsl:value-of select="count($corpi)"/>
        <xsl:text> documenti</xsl:text>
      </xsl:when>
      <xsl:when test="$doc">
        <xsl:call-template name="titolo-documento">
          <xsl:with-param name="doc" select="$doc"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>Fattura elettronica</xsl:otherwise>
    </xsl:choose>
    <xsl:variable name="ced" select="$f/FatturaElettronicaHeader/CedentePrestatore"/>
    <xsl:if test="$ced">
      <xsl:text> - </xsl:text>
      <xsl:call-template name="nome-soggetto">
        <xsl:with-param name="p" select="$ced"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The invoice root: header band, parties, transmission, bodies. -->
  <xsl:template match="*" mode="fattura">
    <xsl:variable name="h" select="FatturaElettronicaHeader"/>
    <xsl:variable name="corpi" select="FatturaElettronicaBody"/>
    <xsl:call-template name="testata">
      <xsl:with-param name="h" select="$h"/>
      <xsl:with-param name="corpi" select="$corpi"/>
    </xsl:call-template>
    <xsl:call-template name="soggetti">
      <xsl:with-param name="h" select="$h"/>
    </xsl:call-template>
    <xsl:for-each select="$corpi">
      <xsl:call-template name="corpo">
        <xsl:with-param name="n" select="position()"/>
        <xsl:with-param name="totale" select="count($corpi)"/>
      </xsl:call-template>
    </xsl:for-each>
    <!-- How the file travelled matters less than what it says: after the documents. -->
    <xsl:call-template name="trasmissione">
      <xsl:with-param name="h" select="$h"/>
    </xsl:call-template>
    <xsl:variable name="altri" select="*[not(self::FatturaElettronicaHeader) and not(self::FatturaElettronicaBody) and local-name() != 'Signature']"/>
    <xsl:if test="$altri">
      <h3>Altri dati</h3>
      <table class="kv">
        <xsl:call-template name="righe-kv">
          <xsl:with-param name="nodi" select="$altri"/>
        </xsl:call-template>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- Header band: document type, number, date and total (or the list of
       documents of a batch). -->
  <xsl:template name="testata">
    <xsl:param name="h"/>
    <xsl:param name="corpi"/>
    <xsl:variable name="formato" select="$h/DatiTrasmissione/FormatoTrasmissione"/>
    <div class="testata">
      <div class="formato">
        <xsl:text>Fattura elettronica</xsl:text>
        <xsl:for-each select="$formato[normalize-space()][1]">
          <xsl:text> · </xsl:text>
          <xsl:call-template name="codice">
            <xsl:with-param name="tab" select="$tab-formato"/>
          </xsl:call-template>
        </xsl:for-each>
      </div>
      <xsl:choose>
        <xsl:when test="count($corpi) = 1">
          <xsl:variable name="doc" select="$corpi/DatiGenerali/DatiGeneraliDocumento"/>
          <table class="banda">
            <tr>
              <td>
                <h1>
                  <xsl:call-template name="titolo-documento">
                    <xsl:with-param name="doc" select="$doc"/>
                  </xsl:call-template>
                </h1>
                <xsl:for-each select="$doc/TipoDocumento[1]">
                  <div class="tipo">
                    <xsl:call-template name="codice">
                      <xsl:with-param name="tab" select="$tab-tipo-documento"/>
                    </xsl:call-template>
                  </div>
                </xsl:for-each>
              </td>
              <xsl:for-each select="$corpi">
                <xsl:variable name="totale">
                  <xsl:call-template name="cifra-totale"/>
                </xsl:variable>
                <xsl:if test="string($totale) != ''">
                  <td class="totale">
                    <span class="etichetta">Totale documento</span>
                    <br/>
                    <xsl:copy-of select="$totale"/>
                    <xsl:call-template name="netto-banda"/>
                  </td>
                </xsl:if>
              </xsl:for-each>
            </tr>
          </table>
          <xsl:for-each select="$corpi">
            <xsl:call-template name="scadenze-banda"/>
          </xsl:for-each>
        </xsl:when>
        <xsl:otherwise>
          <h1>
            <xsl:text>Lotto di </xsl:text>
            <xsl:value-of select="count($corpi)"/>
            <xsl:text> documenti</xsl:text>
          </h1>
          <ol class="lotto">
            <xsl:for-each select="$corpi">
              <xsl:variable name="doc" select="DatiGenerali/DatiGeneraliDocumento"/>
              <li>
                <xsl:call-template name="titolo-documento">
                  <xsl:with-param name="doc" select="$doc"/>
                </xsl:call-template>
                <xsl:for-each select="$doc/TipoDocumento[1]">
                  <xsl:text> (</xsl:text>
                  <xsl:value-of select="normalize-space()"/>
                  <xsl:text>)</xsl:text>
                </xsl:for-each>
                <xsl:variable name="totale">
                  <xsl:call-template name="cifra-totale"/>
                </xsl:variable>
                <xsl:if test="string($totale) != ''">
                  <xsl:text> - totale </xsl:text>
                  <xsl:copy-of select="$totale"/>
                  <xsl:call-template name="netto-banda"/>
                </xsl:if>
                <xsl:call-template name="scadenze-banda"/>
              </li>
            </xsl:for-each>
          </ol>
        </xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <!-- "Fattura n. 12 del 01/02/2024": the document type in words. -->
  <!-- Context: a FatturaElettronicaBody. Its payment terms in the band: due
       date, amount and IBAN of each instalment, the first few of a long plan. -->
  <xsl:variable name="scadenze-in-banda" select="6"/>

  <xsl:template name="scadenze-banda">
    <xsl:variable name="dettagli" select="DatiPagamento/DettaglioPagamento"/>
    <xsl:variable name="d" select="normalize-space(DatiGenerali/DatiGeneraliDocumento/Divisa[1])"/>
    <xsl:variable name="credito">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'credito'"/></xsl:call-template>
    </xsl:variable>
    <!-- A credit note's details give back what the customer paid. -->
    <xsl:variable name="parola-importo">
      <xsl:choose>
        <xsl:when test="string($credito) != ''">da rimborsare </xsl:when>
        <xsl:otherwise>da pagare </xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="pagamento-diverso">
      <xsl:call-template name="conto"><xsl:with-param name="campo" select="'pagamento-diverso'"/></xsl:call-template>
    </xsl:variable>
    <xsl:if test="$dettagli">
      <div class="scadenze">
        <xsl:for-each select="$dettagli[position() &lt;= $scadenze-in-banda]">
          <div>
            <xsl:variable name="scadenza">
              <xsl:call-template name="scadenza"/>
            </xsl:variable>
            <xsl:if test="string($scadenza) != ''">
              <xsl:text>Scadenza </xsl:text>
              <xsl:copy-of select="$scadenza"/>
              <xsl:text> · </xsl:text>
            </xsl:if>
            <xsl:for-each select="(ImportoPagamento[1])[normalize-space()]">
              <xsl:value-of select="$parola-importo"/>
              <span class="importo">
                <xsl:call-template name="numero"/>
                <xsl:if test="$d != ''"><xsl:value-of select="concat(' ', $d)"/></xsl:if>
              </span>
              <xsl:if test="string($pagamento-diverso) != ''">
                <xsl:text> (diverso dal netto calcolato)</xsl:text>
              </xsl:if>
              <xsl:text> · </xsl:text>
            </xsl:for-each>
            <xsl:for-each select="ModalitaPagamento[1]">
              <xsl:call-template name="valore"/>
            </xsl:for-each>
            <xsl:for-each select="(IBAN[1])[normalize-space()]">
              <xsl:text> · IBAN </xsl:text>
              <span class="iban"><xsl:call-template name="iban"/></span>
            </xsl:for-each>
          </div>
        </xsl:for-each>
        <xsl:if test="count($dettagli) &gt; $scadenze-in-banda">
          <div>
            <xsl:text>e altre </xsl:text>
            <xsl:value-of select="count($dettagli) - $scadenze-in-banda"/>
            <xsl:text> rate (vedi Pagamento)</xsl:text>
          </div>
        </xsl:if>
      </div>
    </xsl:if>
  </xsl:template>

  <!-- Context: a DettaglioPagamento. Its due date: the stated one, or the reference date plus
       the days of the terms, marked "calcolata"; nothing when neither is known. -->
  <xsl:template name="scadenza">
    <xsl:variable name="dichiarata" select="(DataScadenzaPagamento[1])[normalize-space()]"/>
    <xsl:choose>
      <xsl:when test="$dichiarata">
        <xsl:for-each select="$dichiarata">
          <xsl:call-template name="data"/>
        </xsl:for-each>
      </xsl:when>
      <xsl:when test="$conti">
        <xsl:variable name="calcolata" select="conti:piu-giorni(normalize-space(DataRiferimentoTerminiPagamento[1]), normalize-space(GiorniTerminiPagamento[1]))"/>
        <xsl:if test="$calcolata != ''">
          <xsl:call-template name="data"><xsl:with-param name="v" select="$calcolata"/></xsl:call-template>
          <xsl:text> (calcolata)</xsl:text>
        </xsl:if>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- An IBAN in groups of four characters, as it is printed and read out. -->
  <xsl:template name="iban">
    <xsl:variable name="i" select="translate(normalize-space(), ' ', '')"/>
    <xsl:value-of select="normalize-space(concat(substring($i, 1, 4), ' ', substring($i, 5, 4), ' ', substring($i, 9, 4), ' ', substring($i, 13, 4), ' ', substring($i, 17, 4), ' ', substring($i, 21, 4), ' ', substring($i, 25, 4), ' ', substring($i, 29, 4), ' ', substring($i, 33, 4), ' ', substring($i, 37)))"/>
  </xsl:template>

  <xsl:template name="titolo-documento">
    <xsl:param name="doc"/>
    <xsl:variable name="descr">
      <xsl:call-template name="descrizione-codice">
        <xsl:with-param name="tab" select="$tab-tipo-documento"/>
        <xsl:with-param name="v" select="normalize-space($doc/TipoDocumento[1])"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="string($descr) != ''">
        <xsl:value-of select="translate(substring($descr, 1, 1), 'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ')"/>
        <xsl:value-of select="substring($descr, 2)"/>
      </xsl:when>
      <xsl:otherwise>Documento</xsl:otherwise>
    </xsl:choose>
    <xsl:for-each select="$doc/Numero[1]">
      <xsl:text> n. </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
    <xsl:for-each select="$doc/Data[1]">
      <xsl:text> del </xsl:text>
      <xsl:call-template name="data"/>
    </xsl:for-each>
  </xsl:template>

  <!-- ========================================================= parties -->

  <xsl:template name="soggetti">
    <xsl:param name="h"/>
    <xsl:variable name="ced" select="$h/CedentePrestatore"/>
    <xsl:variable name="ces" select="$h/CessionarioCommittente"/>
    <xsl:variable name="rapp" select="$h/RappresentanteFiscale"/>
    <xsl:variable name="terzo" select="$h/TerzoIntermediarioOSoggettoEmittente"/>
    <table class="soggetti">
      <tr>
        <xsl:call-template name="soggetto">
          <xsl:with-param name="p" select="$ced"/>
          <xsl:with-param name="titolo" select="'Cedente / prestatore'"/>
        </xsl:call-template>
        <td class="spazio"></td>
        <xsl:call-template name="soggetto">
          <xsl:with-param name="p" select="$ces"/>
          <xsl:with-param name="titolo" select="'Cessionario / committente'"/>
        </xsl:call-template>
      </tr>
      <xsl:if test="$rapp or $terzo">
        <tr>
          <xsl:call-template name="soggetto">
            <xsl:with-param name="p" select="$rapp"/>
            <xsl:with-param name="titolo" select="'Rappresentante fiscale del cedente / prestatore'"/>
          </xsl:call-template>
          <td class="spazio"></td>
          <xsl:call-template name="soggetto">
            <xsl:with-param name="p" select="$terzo"/>
            <xsl:with-param name="titolo" select="'Terzo intermediario / soggetto emittente'"/>
          </xsl:call-template>
        </tr>
      </xsl:if>
    </table>
    <xsl:for-each select="$h/SoggettoEmittente[normalize-space()]">
      <p class="nota">
        <xsl:text>Fattura emessa da: </xsl:text>
        <xsl:call-template name="codice">
          <xsl:with-param name="tab" select="$tab-soggetto-emittente"/>
        </xsl:call-template>
        <xsl:text> per conto del cedente / prestatore</xsl:text>
      </p>
    </xsl:for-each>
    <xsl:variable name="altri" select="$h/*[not(contains('|DatiTrasmissione|CedentePrestatore|CessionarioCommittente|RappresentanteFiscale|TerzoIntermediarioOSoggettoEmittente|SoggettoEmittente|', concat('|', local-name(), '|')))]"/>
    <xsl:if test="$altri">
      <h3>Altri dati della testata</h3>
      <table class="kv">
        <xsl:call-template name="righe-kv">
          <xsl:with-param name="nodi" select="$altri"/>
        </xsl:call-template>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- One party box: the name as heading, then every field as a row.
       Works for the ordinary structure (DatiAnagrafici/Anagrafica) and for
       the simplified one (fields directly under the party, or under
       IdentificativiFiscali / AltriDatiIdentificativi). -->
  <xsl:template name="soggetto">
    <xsl:param name="p"/>
    <xsl:param name="titolo"/>
    <xsl:choose>
      <xsl:when test="$p">
        <td class="soggetto">
          <h3><xsl:value-of select="$titolo"/></h3>
          <div class="nome">
            <xsl:call-template name="nome-soggetto">
              <xsl:with-param name="p" select="$p"/>
            </xsl:call-template>
          </div>
          <!-- The Sede of the party and those in its AltriDatiIdentificativi, in
               document order. -->
          <xsl:for-each select="$p/*[self::Sede or self::AltriDatiIdentificativi]">
            <xsl:choose>
              <xsl:when test="self::Sede">
                <xsl:call-template name="sede"/>
              </xsl:when>
              <xsl:otherwise>
                <xsl:for-each select="Sede">
                  <xsl:call-template name="sede"/>
                </xsl:for-each>
              </xsl:otherwise>
            </xsl:choose>
          </xsl:for-each>
          <table class="kv">
            <xsl:call-template name="righe-kv">
              <xsl:with-param name="nodi" select="$p/*"/>
            </xsl:call-template>
          </table>
        </td>
      </xsl:when>
      <xsl:otherwise>
        <td class="vuoto"></td>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="sede">
    <div class="sede">
      <xsl:call-template name="indirizzo">
        <xsl:with-param name="a-capo" select="true()"/>
      </xsl:call-template>
    </div>
  </xsl:template>

  <!-- The name of the parties: titles first, then the other parts, in
       document order, one space apart. -->
  <xsl:template name="nome-soggetto">
    <xsl:param name="p"/>
    <xsl:variable name="nome">
      <xsl:call-template name="parti-nome">
        <xsl:with-param name="p" select="$p"/>
        <xsl:with-param name="titoli" select="true()"/>
      </xsl:call-template>
      <xsl:call-template name="parti-nome">
        <xsl:with-param name="p" select="$p"/>
        <xsl:with-param name="titoli" select="false()"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="normalize-space($nome)">
        <xsl:value-of select="normalize-space($nome)"/>
      </xsl:when>
      <xsl:otherwise>(nominativo non indicato)</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The titles of the parties (or, with titoli false, their other name
       parts), each followed by a space, in document order: the parts held
       by a party itself, by its DatiAnagrafici or AltriDatiIdentificativi,
       and by the Anagrafica in its DatiAnagrafici. -->
  <xsl:template name="parti-nome">
    <xsl:param name="p"/>
    <xsl:param name="titoli"/>
    <xsl:for-each select="$p/*">
      <xsl:call-template name="parte-nome">
        <xsl:with-param name="titoli" select="$titoli"/>
      </xsl:call-template>
      <xsl:if test="self::DatiAnagrafici or self::AltriDatiIdentificativi">
        <xsl:for-each select="*">
          <xsl:call-template name="parte-nome">
            <xsl:with-param name="titoli" select="$titoli"/>
          </xsl:call-template>
          <xsl:if test="self::Anagrafica and parent::DatiAnagrafici">
            <xsl:for-each select="*">
              <xsl:call-template name="parte-nome">
                <xsl:with-param name="titoli" select="$titoli"/>
              </xsl:call-template>
            </xsl:for-each>
          </xsl:if>
        </xsl:for-each>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="parte-nome">
    <xsl:param name="titoli"/>
    <xsl:if test="contains($parti-nome, concat('|', local-name(), '|')) and (self::Titolo) = $titoli and normalize-space()">
      <xsl:value-of select="normalize-space()"/>
      <xsl:text> </xsl:text>
    </xsl:if>
  </xsl:template>

  <!-- ==================================================== transmission -->

  <xsl:template name="trasmissione">
    <xsl:param name="h"/>
    <xsl:variable name="radice" select="$h/.."/>
    <div class="riquadro trasmissione">
      <h3>Dati di trasmissione</h3>
      <table class="kv">
        <xsl:call-template name="righe-kv">
          <xsl:with-param name="nodi" select="$h/DatiTrasmissione/*"/>
        </xsl:call-template>
        <xsl:for-each select="$radice/@versione[normalize-space() != normalize-space($h/DatiTrasmissione/FormatoTrasmissione)]">
          <tr>
            <th>Versione</th>
            <td><xsl:value-of select="normalize-space()"/></td>
          </tr>
        </xsl:for-each>
        <xsl:for-each select="$radice/@SistemaEmittente">
          <tr>
            <th>Sistema emittente</th>
            <td><xsl:value-of select="normalize-space()"/></td>
          </tr>
        </xsl:for-each>
        <xsl:if test="$radice/*[local-name() = 'Signature']">
          <tr>
            <th>Firma</th>
            <td>il file contiene una firma elettronica XML</td>
          </tr>
        </xsl:if>
      </table>
    </div>
  </xsl:template>

  <!-- ============================================ key/value rows (kv) -->

  <!-- The rows of a group of fields. A group of more fields than any invoice
       has is listed as plain "name: value" lines in a single row: a row of its
       own for each would cost the page's tree and the processor many times the
       field in the file. Causale, however many, keep their one row. -->
  <xsl:template name="righe-kv">
    <xsl:param name="nodi"/>
    <!-- Counted first: the usual small group is not looked through again. -->
    <xsl:choose>
      <xsl:when test="count($nodi) &gt; $ignoti-in-elenco and count($nodi[not(self::Causale)]) &gt; $ignoti-in-elenco">
        <xsl:apply-templates select="$nodi[self::Causale]" mode="kv"/>
        <tr>
          <td colspan="2">
            <xsl:call-template name="elenco-ignoti">
              <xsl:with-param name="nodi" select="$nodi[not(self::Causale)][* or normalize-space()]"/>
            </xsl:call-template>
          </td>
        </tr>
      </xsl:when>
      <xsl:otherwise>
        <xsl:apply-templates select="$nodi" mode="kv"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Default: a leaf becomes a row; an element with children becomes one
       row holding its parts. -->
  <xsl:template match="*" mode="kv">
    <xsl:choose>
      <xsl:when test="*">
        <tr>
          <th><xsl:call-template name="etichetta"/></th>
          <td><xsl:call-template name="composto"/></td>
        </tr>
      </xsl:when>
      <xsl:when test="normalize-space()">
        <tr>
          <th><xsl:call-template name="etichetta"/></th>
          <td><xsl:call-template name="valore"/></td>
        </tr>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- Containers whose fields are listed one per row. -->
  <xsl:template match="*[self::DatiAnagrafici or self::Anagrafica or self::Contatti or self::ContattiTrasmittente or self::IdentificativiFiscali or self::AltriDatiIdentificativi]" mode="kv">
    <xsl:call-template name="righe-kv">
      <xsl:with-param name="nodi" select="*"/>
    </xsl:call-template>
  </xsl:template>

  <!-- Name parts are already in the party heading. -->
  <xsl:template match="*[self::Denominazione or self::Nome or self::Cognome or self::Titolo]" mode="kv"/>

  <xsl:template match="*[self::IdFiscaleIVA or self::IdTrasmittente]" mode="kv">
    <tr>
      <th><xsl:call-template name="etichetta"/></th>
      <td><xsl:call-template name="id-fiscale"/></td>
    </tr>
  </xsl:template>

  <!-- A public administration is addressed by its office code. -->
  <xsl:template match="CodiceDestinatario" mode="kv">
    <xsl:if test="normalize-space()">
      <tr>
        <th>
          <xsl:choose>
            <xsl:when test="normalize-space(../FormatoTrasmissione) = 'FPA12'">Codice Amministrazione destinataria</xsl:when>
            <xsl:otherwise><xsl:call-template name="etichetta"/></xsl:otherwise>
          </xsl:choose>
        </th>
        <td><xsl:call-template name="valore"/></td>
      </tr>
    </xsl:if>
  </xsl:template>

  <!-- A discount or surcharge in words. -->
  <xsl:template match="ScontoMaggiorazione" mode="kv">
    <tr>
      <th><xsl:call-template name="etichetta"/></th>
      <td><xsl:call-template name="sconto"/></td>
    </tr>
  </xsl:template>

  <!-- The registered office is printed under the party name. -->
  <xsl:template match="Sede" mode="kv"/>

  <xsl:template match="*[self::StabileOrganizzazione or self::IndirizzoResa]" mode="kv">
    <tr>
      <th><xsl:call-template name="etichetta"/></th>
      <td>
        <xsl:call-template name="indirizzo">
          <xsl:with-param name="a-capo" select="true()"/>
        </xsl:call-template>
      </td>
    </tr>
  </xsl:template>

  <!-- Repeated Causale elements continue one text: one row for all, where
       the first of them stands. Only the start of a run of Causale siblings
       looks for the first Causale of its parent, and both looks stop at the
       first element they meet: the time stays linear in their number. -->
  <xsl:template match="Causale" mode="kv">
    <xsl:if test="local-name(preceding-sibling::*[1]) != 'Causale'">
      <xsl:if test="generate-id() = generate-id(../Causale[1])">
        <tr>
          <th>Causale</th>
          <td class="testo">
            <xsl:for-each select="../Causale">
              <xsl:if test="position() &gt; 1">
                <xsl:text>&#10;</xsl:text>
              </xsl:if>
              <xsl:call-template name="testo-libero"/>
            </xsl:for-each>
          </td>
        </tr>
      </xsl:if>
    </xsl:if>
  </xsl:template>

  <!-- Row label: "Parent/Element" entry, else "Element" entry, else the
       element name itself. -->
  <xsl:template name="etichetta">
    <xsl:param name="n" select="local-name()"/>
    <xsl:variable name="chiave" select="concat(local-name(..), '/', $n)"/>
    <xsl:for-each select="$voci-etichette">
      <xsl:choose>
        <xsl:when test="key('voce', $chiave)">
          <xsl:value-of select="key('voce', $chiave)"/>
        </xsl:when>
        <xsl:when test="key('voce', $n)">
          <xsl:value-of select="key('voce', $n)"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:value-of select="$n"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:for-each>
  </xsl:template>

  <!-- A composite element on one line: "part · part · part", each part
       with its prefix (see $prefissi). -->
  <xsl:template name="composto">
    <xsl:for-each select="*[* or normalize-space()]">
      <xsl:variable name="n" select="local-name()"/>
      <xsl:if test="position() &gt; 1">
        <xsl:choose>
          <xsl:when test="contains($parti-nome, concat('|', $n, '|')) and contains($parti-nome, concat('|', local-name(preceding-sibling::*[1]), '|'))">
            <xsl:text> </xsl:text>
          </xsl:when>
          <xsl:otherwise>
            <xsl:text> · </xsl:text>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:if>
      <xsl:call-template name="prefisso"/>
      <xsl:choose>
        <xsl:when test="$n = 'IdFiscaleIVA' or $n = 'IdTrasmittente'">
          <xsl:call-template name="id-fiscale"/>
        </xsl:when>
        <xsl:when test="$n = 'Sede' or $n = 'StabileOrganizzazione' or $n = 'IndirizzoResa'">
          <xsl:call-template name="indirizzo"/>
        </xsl:when>
        <xsl:when test="*">
          <xsl:call-template name="composto"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="valore"/>
          <xsl:if test="contains($campi-percentuale, concat('|', $n, '|'))">
            <xsl:text>%</xsl:text>
          </xsl:if>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="prefisso">
    <xsl:variable name="n" select="local-name()"/>
    <xsl:variable name="chiave" select="concat(local-name(..), '/', $n)"/>
    <xsl:variable name="trovato">
      <xsl:for-each select="$voci-prefissi">
        <xsl:choose>
          <xsl:when test="key('voce', $chiave)">
            <xsl:value-of select="concat('=', key('voce', $chiave))"/>
          </xsl:when>
          <xsl:when test="key('voce', $n)">
            <xsl:value-of select="concat('=', key('voce', $n))"/>
          </xsl:when>
        </xsl:choose>
      </xsl:for-each>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="starts-with($trovato, '=')">
        <xsl:value-of select="substring($trovato, 2)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="etichetta"/>
        <xsl:text>: </xsl:text>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Extra rows for children not shown by the caller (unknown or new
       elements), so no data is silently dropped. -->
  <xsl:template name="ignoti">
    <xsl:param name="nodi"/>
    <xsl:param name="noti"/>
    <xsl:variable name="scelti" select="$nodi[* or normalize-space()][not(contains($noti, concat('|', local-name(), '|')))]"/>
    <xsl:choose>
      <xsl:when test="count($scelti) &gt; $ignoti-in-elenco">
        <xsl:call-template name="elenco-ignoti">
          <xsl:with-param name="nodi" select="$scelti"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:for-each select="$scelti">
          <xsl:call-template name="ignoto"/>
        </xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- More unknown fields in one place than any invoice has: one plain text of
       "name: value" lines. A block of its own for each costs several nodes of the
       page's tree and a template for its label and value, together several times
       the memory and time of the field in the file. -->
  <xsl:variable name="ignoti-in-elenco" select="1000"/>

  <xsl:template name="elenco-ignoti">
    <xsl:param name="nodi"/>
    <div class="x testo">
      <xsl:for-each select="$nodi">
        <xsl:call-template name="riga-ignota"/>
      </xsl:for-each>
    </div>
  </xsl:template>

  <xsl:template name="riga-ignota">
    <xsl:choose>
      <xsl:when test="*">
        <xsl:value-of select="local-name()"/>
        <xsl:text>: </xsl:text>
        <xsl:call-template name="composto"/>
        <xsl:text>&#10;</xsl:text>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="concat(local-name(), ': ', normalize-space(), '&#10;')"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="ignoto">
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
  </xsl:template>

  <!-- ========================================================== values -->

  <!-- A leaf value as the user should read it: dates as dd/mm/yyyy, codes
       with their meaning, attachment content as its size, the rest as
       written. -->
  <xsl:template name="valore">
    <xsl:variable name="n" select="local-name()"/>
    <xsl:choose>
      <xsl:when test="not(contains($campi-speciali, concat('|', $n, '|')))">
        <xsl:value-of select="normalize-space()"/>
      </xsl:when>
      <xsl:when test="contains($campi-numero, concat('|', $n, '|'))">
        <xsl:call-template name="numero"/>
      </xsl:when>
      <xsl:when test="contains($campi-data, concat('|', $n, '|'))">
        <xsl:call-template name="data"/>
      </xsl:when>
      <xsl:when test="$n = 'TipoDocumento'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-tipo-documento"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'RegimeFiscale'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-regime-fiscale"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'ModalitaPagamento'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-modalita-pagamento"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'CondizioniPagamento'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-condizioni-pagamento"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'Natura'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-natura"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'EsigibilitaIVA'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-esigibilita"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'SoggettoEmittente'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-soggetto-emittente"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'TipoRitenuta'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-tipo-ritenuta"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'CausalePagamento'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-causale-pagamento"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'TipoCassa'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-tipo-cassa"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'TipoCessionePrestazione'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-tipo-cessione"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'Tipo' and local-name(..) = 'ScontoMaggiorazione'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-sconto-maggiorazione"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'SocioUnico'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-socio-unico"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'StatoLiquidazione'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-stato-liquidazione"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'Art73'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-art73"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'Ritenuta'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-ritenuta"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'BolloVirtuale'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-bollo"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'FormatoTrasmissione'">
        <xsl:call-template name="codice"><xsl:with-param name="tab" select="$tab-formato"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'TipoResa'">
        <xsl:call-template name="codice">
          <xsl:with-param name="tab" select="$tab-resa"/>
          <xsl:with-param name="ignoti" select="false()"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'CodiceDestinatario'">
        <xsl:call-template name="codice">
          <xsl:with-param name="tab" select="$tab-destinatario"/>
          <xsl:with-param name="ignoti" select="false()"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$n = 'Attachment'">
        <xsl:call-template name="dimensione-allegato"/>
      </xsl:when>
      <xsl:when test="$n = 'IBAN'">
        <xsl:call-template name="iban"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="normalize-space()"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A decimal as an Italian reader writes it: thousands grouped by ".", a
       comma before at least two decimals, its value exactly (nothing rounded).
       format-number is exact up to seven digits before the point and eight
       after it; longer numbers are regrouped as text, and anything that is not
       a plain decimal is shown as written. -->
  <xsl:template name="numero">
    <xsl:param name="v" select="normalize-space()"/>
    <!-- The shape of the number, every digit a 0, is tested as it is made: a variable for it
         would cost more than making it twice. -->
    <xsl:choose>
      <!-- The most common: below a thousand, two decimals. -->
      <xsl:when test="contains('|0.00|00.00|000.00|', concat('|', translate($v, '123456789', '000000000'), '|'))">
        <xsl:value-of select="translate($v, '.', ',')"/>
      </xsl:when>
      <!-- A part of "-0000000.00000000" with a digit in it: an optional sign, up to seven
           digits, and up to eight decimals after the only point. -->
      <xsl:when test="contains('-0000000.00000000', translate($v, '123456789', '000000000')) and translate($v, '-.', '') != ''">
        <xsl:value-of select="format-number($v, '#.##0,00######', 'it')"/>
      </xsl:when>
      <!-- A long number may wrap in a narrow column, between its groups of digits only. -->
      <xsl:when test="number($v) = number($v) and translate($v, '0123456789.-', '') = '' and string-length(substring-before(concat($v, '.'), '.')) &lt; 16 and not(starts-with($v, '.') or starts-with($v, '-.'))">
        <xsl:value-of select="substring('-', 1, starts-with($v, '-'))"/>
        <xsl:call-template name="gruppi">
          <xsl:with-param name="s" select="format-number(translate(substring-before(concat($v, '.'), '.'), '-', ''), '#.##0', 'it')"/>
        </xsl:call-template>
        <xsl:if test="contains($v, '.')">
          <xsl:text>,</xsl:text>
          <wbr/>
          <xsl:value-of select="substring-after($v, '.')"/>
        </xsl:if>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$v"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "1.234.567" with a place to wrap after each group separator. -->
  <xsl:template name="gruppi">
    <xsl:param name="s"/>
    <xsl:choose>
      <xsl:when test="contains($s, '.')">
        <xsl:value-of select="substring-before($s, '.')"/>
        <xsl:text>.</xsl:text>
        <wbr/>
        <xsl:call-template name="gruppi">
          <xsl:with-param name="s" select="substring-after($s, '.')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$s"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Free text (descriptions, causale): line breaks are kept by the
       "testo" CSS class, only the leading blank space is dropped. -->
  <xsl:template name="testo-libero">
    <xsl:param name="s" select="string(.)"/>
    <xsl:choose>
      <xsl:when test="translate(substring($s, 1, 1), ' &#9;&#10;&#13;', '') = '' and normalize-space($s) != ''">
        <xsl:value-of select="substring($s, string-length(substring-before($s, substring(normalize-space($s), 1, 1))) + 1)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$s"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- xs:date "YYYY-MM-DD" becomes "DD/MM/YYYY"; an xs:dateTime keeps its
       time part as written after the date ("DD/MM/YYYY hh:mm:ss..."), a
       time zone on a date is kept the same way. Anything that is not a
       real calendar date is printed as written. -->
  <xsl:template name="data">
    <xsl:param name="v" select="normalize-space(.)"/>
    <xsl:variable name="a" select="substring($v, 1, 4)"/>
    <xsl:variable name="m" select="substring($v, 6, 2)"/>
    <xsl:variable name="g" select="substring($v, 9, 2)"/>
    <xsl:variable name="resto" select="substring($v, 11)"/>
    <xsl:variable name="cifre" select="concat($a, $m, $g)"/>
    <xsl:variable name="bisestile" select="($a mod 4 = 0 and $a mod 100 != 0) or $a mod 400 = 0"/>
    <xsl:variable name="valida" select="string-length($v) &gt;= 10
        and substring($v, 5, 1) = '-' and substring($v, 8, 1) = '-'
        and string-length($cifre) = 8 and translate($cifre, '0123456789', '') = ''
        and $a &gt;= 1 and $m &gt;= 1 and $m &lt;= 12 and $g &gt;= 1
        and ($g &lt;= 28
             or ($g &lt;= 29 and ($m != 2 or $bisestile))
             or ($g &lt;= 30 and $m != 2)
             or ($g = 31 and contains('|01|03|05|07|08|10|12|', concat('|', $m, '|'))))
        and ($resto = '' or substring($resto, 1, 1) = 'T' or $resto = 'Z'
             or ((substring($resto, 1, 1) = '+' or substring($resto, 1, 1) = '-') and string-length($resto) = 6 and substring($resto, 4, 1) = ':'))"/>
    <xsl:choose>
      <xsl:when test="$valida">
        <xsl:value-of select="concat($g, '/', $m, '/', $a)"/>
        <xsl:choose>
          <!-- A time as hours and minutes, the way it is read; seconds and zone
               only when the time is not in the usual hh:mm:ss form. -->
          <xsl:when test="substring($resto, 1, 1) = 'T' and substring($resto, 4, 1) = ':' and translate(substring($resto, 2, 5), '0123456789', '') = ':'">
            <xsl:text> </xsl:text>
            <xsl:value-of select="substring($resto, 2, 5)"/>
          </xsl:when>
          <xsl:when test="substring($resto, 1, 1) = 'T'">
            <xsl:text> </xsl:text>
            <xsl:value-of select="substring($resto, 2)"/>
          </xsl:when>
          <xsl:when test="$resto != ''">
            <xsl:text> </xsl:text>
            <xsl:value-of select="$resto"/>
          </xsl:when>
        </xsl:choose>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$v"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "IT01234567890" from IdPaese + IdCodice (and anything else inside). -->
  <xsl:template name="id-fiscale">
    <xsl:value-of select="normalize-space(IdPaese)"/>
    <xsl:value-of select="normalize-space(IdCodice)"/>
    <xsl:for-each select="*[not(self::IdPaese) and not(self::IdCodice)][normalize-space()]">
      <xsl:text> </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
  </xsl:template>

  <!-- "Via Roma 1, 00100 Roma (RM) IT"; with a-capo the street and the
       town go on two lines. -->
  <xsl:template name="indirizzo">
    <xsl:param name="a-capo" select="false()"/>
    <xsl:value-of select="normalize-space(Indirizzo)"/>
    <xsl:for-each select="NumeroCivico[normalize-space()]">
      <xsl:text> </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
    <xsl:choose>
      <xsl:when test="$a-capo"><br/></xsl:when>
      <xsl:otherwise><xsl:text>, </xsl:text></xsl:otherwise>
    </xsl:choose>
    <xsl:value-of select="normalize-space(CAP)"/>
    <xsl:text> </xsl:text>
    <xsl:value-of select="normalize-space(Comune)"/>
    <xsl:for-each select="Provincia[normalize-space()]">
      <xsl:text> (</xsl:text>
      <xsl:value-of select="normalize-space()"/>
      <xsl:text>)</xsl:text>
    </xsl:for-each>
    <xsl:for-each select="Nazione[normalize-space()]">
      <xsl:text> </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
    <xsl:for-each select="*[not(contains('|Indirizzo|NumeroCivico|CAP|Comune|Provincia|Nazione|', concat('|', local-name(), '|')))][normalize-space()]">
      <xsl:text> · </xsl:text>
      <xsl:value-of select="local-name()"/>
      <xsl:text>: </xsl:text>
      <xsl:value-of select="normalize-space()"/>
    </xsl:for-each>
  </xsl:template>

  <!-- Size of a Base64 attachment: 3 bytes per 4 characters, less the
       padding; white space inside the Base64 text does not count. -->
  <xsl:template name="dimensione-allegato">
    <!-- Exact for ordinary attachments; for a text of megabytes the blanks are not stripped
         (a few per cent at most) and only the padding at its end is counted, since copying
         the whole text would cost seconds. -->
    <xsl:variable name="lunghezza" select="string-length(.)"/>
    <xsl:variable name="stima">
      <xsl:choose>
        <xsl:when test="$lunghezza &lt; 1048576">
          <xsl:variable name="b" select="translate(., ' &#9;&#10;&#13;', '')"/>
          <xsl:value-of select="floor(string-length($b) * 3 div 4) - (string-length($b) - string-length(translate($b, '=', '')))"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:variable name="coda" select="substring(., $lunghezza - 3)"/>
          <xsl:value-of select="floor($lunghezza * 3 div 4) - (4 - string-length(translate($coda, '=', '')))"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="byte" select="number($stima)"/>
    <xsl:choose>
      <xsl:when test="$byte &lt; 1024">
        <xsl:value-of select="$byte"/>
        <xsl:text> byte</xsl:text>
      </xsl:when>
      <xsl:when test="$byte &lt; 1048576">
        <xsl:text>circa </xsl:text>
        <xsl:value-of select="format-number($byte div 1024, '#.##0,0', 'it')"/>
        <xsl:text> KB</xsl:text>
      </xsl:when>
      <xsl:otherwise>
        <xsl:text>circa </xsl:text>
        <xsl:value-of select="format-number($byte div 1048576, '#.##0,0', 'it')"/>
        <xsl:text> MB</xsl:text>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ================================================ unknown documents -->

  <!-- Not an invoice we recognise: list every value with its path. -->
  <xsl:template name="documento-sconosciuto">
    <div class="testata">
      <div class="formato">Documento XML</div>
      <h1>Il file non contiene una fattura elettronica riconoscibile</h1>
    </div>
    <p class="nota">Sono elencati tutti i dati presenti nel file.</p>
    <table class="t">
      <thead>
        <tr><th>Elemento</th><th>Valore</th></tr>
      </thead>
      <tbody>
        <xsl:for-each select="//*[not(*)][normalize-space()][not(ancestor-or-self::*[local-name() = 'Signature'])]">
          <tr>
            <td>
              <xsl:for-each select="ancestor-or-self::*">
                <xsl:if test="position() &gt; 1">
                  <xsl:text> / </xsl:text>
                </xsl:if>
                <xsl:value-of select="local-name()"/>
              </xsl:for-each>
            </td>
            <td class="testo"><xsl:call-template name="valore"/></td>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>

  <!-- ============================================================= CSS -->

  <xsl:template name="css">
    <xsl:text>
body { margin: 0; background: #e8ebef; color: #1d2330; font: 13px/1.45 "Segoe UI", "Helvetica Neue", Arial, "Liberation Sans", "DejaVu Sans", sans-serif; overflow-wrap: anywhere; }
.pagina { max-width: 1120px; margin: 18px auto; background: #fff; padding: 22px 28px 16px; border: 1px solid #cfd5dd; }
h1 { font-size: 21px; margin: 2px 0 2px; font-weight: bold; }
h2 { font-size: 16px; margin: 26px 0 8px; padding: 6px 10px; background: #eef2f6; border-left: 5px solid #1f4e79; color: #12324f; }
h3 { font-size: 11px; margin: 16px 0 5px; text-transform: uppercase; letter-spacing: 0.06em; color: #1f4e79; }
p { margin: 4px 0; }
table { border-collapse: collapse; }
.testata { background: #1f4e79; color: #fff; padding: 12px 16px; }
.testata .formato { font-size: 12px; color: #d3e0ec; }
.testata .tipo { font-size: 12px; color: #d3e0ec; }
table.banda { width: 100%; }
table.banda td { vertical-align: bottom; padding: 0; }
table.banda td.totale { text-align: right; white-space: nowrap; padding-left: 20px; }
.totale .etichetta { font-size: 11px; text-transform: uppercase; letter-spacing: 0.06em; color: #d3e0ec; }
.totale .cifra { font-size: 22px; font-weight: bold; }
ol.lotto { margin: 6px 0 0; padding-left: 22px; }
table.soggetti { width: 100%; margin: 2px 0 0; border-collapse: separate; border-spacing: 0 10px; }
td.spazio { width: 12px; min-width: 12px; padding: 0; }
td.soggetto { width: 49%; vertical-align: top; border: 1px solid #cfd5dd; border-top: 3px solid #1f4e79; padding: 6px 12px 10px; }
td.soggetto h3 { margin-top: 2px; }
td.vuoto { width: 50%; }
.nome { font-size: 15px; font-weight: bold; }
.sede { margin-bottom: 6px; }
table.kv { width: 100%; }
table.kv th { width: 34%; text-align: left; font-weight: normal; color: #5a6472; padding: 2px 10px 2px 0; vertical-align: top; }
table.kv td { padding: 2px 0; vertical-align: top; }
.riquadro { border: 1px solid #cfd5dd; padding: 4px 12px 8px; margin: 0 0 6px; }
.trasmissione table.kv tr { display: inline-block; width: 49.5%; vertical-align: top; }
.trasmissione table.kv th { width: 190px; }
.corpo table.kv th { width: 26%; }
table.t { width: 100%; margin: 2px 0 6px; }
table.t th, table.t td { border: 1px solid #cfd5dd; padding: 3px 6px; vertical-align: top; text-align: left; }
table.t thead th { background: #eef2f6; font-size: 11px; font-weight: bold; color: #33404f; }
thead th { overflow-wrap: normal; }
table.t td.r, table.t th.r { text-align: right; }
td.r, td.um, table.totali td, table.banda td.totale { white-space: nowrap; overflow-wrap: normal; }
td.r { white-space: normal; }
table.t td.c { text-align: center; color: #5a6472; }
table.righe td { white-space: pre-line; }
/* The cells of a lines table have no class; its columns, counted from the end: VAT rate,
   total, discount (class "sconto" on the table), unit price, unit and quantity ("quantita").
   The code ("codice") follows the line number. */
table.righe td:first-child { text-align: center; color: #5a6472; }
table.righe.codice td:nth-child(2) { font-size: 12px; }
table.righe td:nth-last-child(-n+2), table.righe:not(.sconto) td:nth-last-child(3),
table.righe.sconto td:nth-last-child(4), table.righe.quantita:not(.sconto) td:nth-last-child(5),
table.righe.quantita.sconto td:nth-last-child(6) { text-align: right; overflow-wrap: normal; }
table.righe.quantita:not(.sconto) td:nth-last-child(4),
table.righe.quantita.sconto td:nth-last-child(5) { white-space: nowrap; overflow-wrap: normal; }
table.righe th.descr { width: 40%; }
@media (max-width: 1000px) {
  table.righe { font-size: 12px; }
  table.righe th, table.righe td { padding: 3px 3px; }
}
table.righe tbody tr:nth-child(even) td { background: #f7f9fb; }
table.t tfoot th, table.t tfoot td { font-weight: bold; border-top: 2px solid #1f4e79; }
div.blocco-righe { content-visibility: auto; contain-intrinsic-size: auto 7000px; }
div.blocco-righe table.righe { margin: 0; }
div.blocco-righe + div.blocco-righe table.righe { border-top: 0; }
table.righe thead.ripetuta tr { visibility: collapse; }
.testo { white-space: pre-line; }
.x { font-size: 11px; color: #5a6472; white-space: normal; }
.x.testo { white-space: pre-line; }
.l { color: #5a6472; }
.legenda { font-size: 11px; color: #5a6472; }
.nota { font-size: 12px; color: #5a6472; }
table.totali { margin: 6px 0 6px auto; }
table.totali th { text-align: right; font-weight: normal; color: #5a6472; padding: 2px 12px; }
table.totali td { text-align: right; padding: 2px 0 2px 12px; white-space: nowrap; }
table.totali tr.grande th { font-weight: bold; color: #1d2330; }
table.totali tr.grande td { font-size: 18px; font-weight: bold; border-top: 2px solid #1f4e79; }
table.totali td.segno { padding-left: 12px; color: #5a6472; text-align: center; }
table.totali tr.compreso th, table.totali tr.compreso td { color: #5a6472; font-style: italic; }
table.totali tr.diverso th, table.totali tr.diverso td { color: #a4262c; }
table.totali .nota { display: block; font-size: 11px; }
.totale .netto { display: block; font-size: 14px; font-weight: bold; margin-top: 2px; }
ol.lotto .netto { font-weight: bold; }
ol.lotto .netto::before { content: " \00B7  "; font-weight: normal; }
.calcolato { display: block; font-size: 11px; font-weight: normal; }
.banda .calcolato { color: #d3e0ec; }
.scadenze { margin-top: 6px; font-size: 12px; color: #d3e0ec; }
.scadenze .importo { color: #fff; font-weight: bold; }
.corpo { margin-top: 10px; }
.piede { margin-top: 22px; padding-top: 6px; border-top: 1px solid #cfd5dd; font-size: 10px; color: #7a8491; }
.corsa { display: none; }
table.impaginazione { width: 100%; border-collapse: collapse; table-layout: fixed; }
table.impaginazione > thead { display: none; }
table.impaginazione > tbody > tr > td { padding: 0; }
@page { size: A4 portrait; margin: 12mm 12mm 14mm 18mm; @bottom-right { content: "pagina " counter(page) " di " counter(pages); font: 7.5pt sans-serif; color: #555; } }
@media print {
  body { background: #fff; font-size: 9pt; }
  .pagina { max-width: none; margin: 0; padding: 0 1px; border: 0; }
  .corsa { display: block; position: fixed; top: 0; left: 0; right: 0; font-size: 7.5pt; line-height: 1.2; color: #555; border-bottom: 0.5pt solid #999; background: #fff; }
  table.impaginazione > thead { display: table-header-group; }
  table.impaginazione > thead td { height: 9mm; padding: 0; }
  table.righe { font-size: 8.5pt; }
  table.t th, table.t td { padding: 2px 3px; }
  table.righe.codice td:nth-child(2) { font-size: 8pt; }
  .testata { background: #fff; color: #000; border: 1.5pt solid #1f4e79; }
  .testata .formato, .testata .tipo, .totale .etichetta, .scadenze, .banda .calcolato { color: #33404f; }
  .scadenze .importo { color: #000; }
  h2 { background: #fff; border: 0; border-bottom: 1.5pt solid #1f4e79; padding: 2px 0; margin: 12px 0 4px; }
  h3 { margin: 9px 0 3px; }
  .piede { margin-top: 8px; }
  table.soggetti { border-spacing: 0 6px; }
  table.t thead th { background: #fff; }
  thead { display: table-header-group; }
  tr { break-inside: avoid; }
  tr.lunga { break-inside: auto; }
  h2, h3 { break-after: avoid; }
  .corpo + .corpo { break-before: page; }
  table.righe tbody tr:nth-child(even) td { background: #fff; }
  div.blocco-righe { content-visibility: visible; }
  div.blocco-righe + div.blocco-righe { break-before: page; }
  table.righe thead.ripetuta tr { visibility: visible; }
}
</xsl:text>
  </xsl:template>

</xsl:stylesheet>
