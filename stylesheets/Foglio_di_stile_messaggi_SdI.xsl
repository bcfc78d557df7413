<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ondivo - the receipts and notices of the Sistema di Interscambio (RC, NS,
  MC, NE, DT, AT, EC, SE, MT) as a single HTML page, in the look of our
  invoice pages: the frame, the CSS and the date formatting come from
  fatturapa_comune.xsl (same folder).

  Elements are matched by local name, so both channels' namespaces (and a
  message written in none) read alike; a missing element leaves its row
  out, and an element this sheet does not know is still listed under
  "Altri dati". Every text is written as text, never as markup.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:conti="urn:ondivo:conti" exclude-result-prefixes="conti">
  <xsl:import href="fatturapa_comune.xsl"/>
  <xsl:output method="html" encoding="windows-1252" indent="no" doctype-public="-//W3C//DTD HTML 4.01//EN" doctype-system="http://www.w3.org/TR/html4/strict.dtd"/>
  <xsl:variable name="foglio" select="'Foglio_di_stile_messaggi_SdI.xsl'"/>

  <xsl:variable name="m" select="/*"/>

  <!-- The two channels name some messages differently: both names give one code. The program
       reads the message as its list does; another processor reads it here. -->
  <xsl:variable name="codice-messaggio">
    <xsl:variable name="n" select="concat('|', local-name($m), '|')"/>
    <xsl:choose>
      <xsl:when test="$conti"><xsl:value-of select="conti:messaggio('codice')"/></xsl:when>
      <xsl:when test="contains('|RicevutaConsegna|', $n)">RC</xsl:when>
      <xsl:when test="contains('|NotificaScarto|RicevutaScarto|', $n)">NS</xsl:when>
      <xsl:when test="contains('|NotificaMancataConsegna|RicevutaImpossibilitaRecapito|', $n)">MC</xsl:when>
      <xsl:when test="contains('|NotificaEsito|', $n)">NE</xsl:when>
      <xsl:when test="contains('|NotificaDecorrenzaTermini|', $n)">DT</xsl:when>
      <xsl:when test="contains('|AttestazioneTrasmissioneFattura|', $n)">AT</xsl:when>
      <xsl:when test="contains('|NotificaEsitoCommittente|EsitoCommittente|', $n)">EC</xsl:when>
      <xsl:when test="contains('|ScartoEsitoCommittente|', $n)">SE</xsl:when>
      <xsl:when test="contains('|MetadatiInvioFile|FileMetadati|', $n)">MT</xsl:when>
    </xsl:choose>
  </xsl:variable>

  <xsl:variable name="descrizione-messaggio">
    <xsl:choose>
      <xsl:when test="$codice-messaggio = 'RC'">Ricevuta di consegna</xsl:when>
      <xsl:when test="$codice-messaggio = 'NS'">Notifica di scarto</xsl:when>
      <xsl:when test="$codice-messaggio = 'MC'">Notifica di mancata consegna</xsl:when>
      <xsl:when test="$codice-messaggio = 'NE'">Notifica di esito</xsl:when>
      <xsl:when test="$codice-messaggio = 'DT'">Notifica di decorrenza termini</xsl:when>
      <xsl:when test="$codice-messaggio = 'AT'">Attestazione di avvenuta trasmissione della fattura con impossibilità di recapito</xsl:when>
      <xsl:when test="$codice-messaggio = 'EC'">Esito committente</xsl:when>
      <xsl:when test="$codice-messaggio = 'SE'">Scarto esito committente</xsl:when>
      <xsl:when test="$codice-messaggio = 'MT'">File dei metadati</xsl:when>
      <xsl:otherwise>Messaggio del Sistema di Interscambio</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <!-- The recipient's outcome: inside the notice for a NE, the message itself for an EC. -->
  <xsl:variable name="esito-committente" select="$m[$codice-messaggio = 'EC'] | $m[$codice-messaggio = 'NE']/*[local-name() = 'EsitoCommittente'][1]"/>
  <xsl:variable name="esito-scritto" select="normalize-space($esito-committente/*[local-name() = 'Esito'][1])"/>
  <xsl:variable name="esito">
    <xsl:choose>
      <xsl:when test="$conti"><xsl:value-of select="conti:messaggio('esito')"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$esito-scritto"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <!-- The children shown in their own rows or sections; the others go under "Altri dati". -->
  <xsl:variable name="campi-noti" select="'|IdentificativoSdI|NomeFile|Hash|HashFileOriginale|DataOraRicezione|DataOraConsegna|DataMessaADisposizione|Destinatario|RiferimentoArchivio|RiferimentoFattura|ListaErrori|Descrizione|Esito|EsitoCommittente|Scarto|MessageId|MessageIdCommittente|PecMessageId|Note|CodiceDestinatario|Formato|TentativiInvio|Signature|'"/>

  <xsl:template match="/">
    <xsl:variable name="titolo">
      <xsl:value-of select="$descrizione-messaggio"/>
      <xsl:for-each select="$m/*[local-name() = 'IdentificativoSdI'][normalize-space()][1]">
        <xsl:text> - Identificativo SdI </xsl:text>
        <xsl:value-of select="normalize-space()"/>
      </xsl:for-each>
    </xsl:variable>
    <html lang="it">
      <head>
        <title><xsl:value-of select="$titolo"/></title>
        <style type="text/css">
          <xsl:call-template name="css"/>
          <xsl:call-template name="css-messaggi"/>
        </style>
      </head>
      <body>
        <div class="corsa"><xsl:value-of select="$titolo"/></div>
        <table class="impaginazione">
          <thead><tr><td></td></tr></thead>
          <tbody><tr><td>
        <div class="pagina messaggio">
          <xsl:call-template name="testata-messaggio"/>
          <xsl:call-template name="stato-messaggio"/>
          <xsl:call-template name="dati-messaggio"/>
          <xsl:call-template name="destinatario"/>
          <xsl:call-template name="esito-committente"/>
          <xsl:call-template name="errori"/>
          <xsl:call-template name="testi"/>
          <xsl:call-template name="altri-dati"/>
          <div class="piede">
            <xsl:text>Visualizzazione Ondivo del messaggio del Sistema di Interscambio · foglio di stile </xsl:text>
            <xsl:value-of select="$foglio"/>
          </div>
        </div>
          </td></tr></tbody>
        </table>
      </body>
    </html>
  </xsl:template>

  <!-- ========================================================= heading -->

  <xsl:template name="testata-messaggio">
    <div class="testata">
      <div class="formato">
        <xsl:text>Messaggio del Sistema di Interscambio</xsl:text>
        <xsl:if test="$codice-messaggio != ''">
          <xsl:text> · </xsl:text>
          <xsl:value-of select="$codice-messaggio"/>
        </xsl:if>
      </div>
      <h1><xsl:value-of select="$descrizione-messaggio"/></h1>
      <xsl:variable name="id" select="$m/*[local-name() = 'IdentificativoSdI'][normalize-space()][1]"/>
      <xsl:variable name="file" select="$m/*[local-name() = 'NomeFile'][normalize-space()][1]"/>
      <xsl:if test="$id or $file">
        <div class="tipo">
          <xsl:for-each select="$id">
            <xsl:text>Identificativo SdI </xsl:text>
            <span class="valore-testata"><xsl:value-of select="normalize-space()"/></span>
          </xsl:for-each>
          <xsl:if test="$id and $file">
            <xsl:text> · </xsl:text>
          </xsl:if>
          <xsl:for-each select="$file">
            <xsl:text>file </xsl:text>
            <span class="valore-testata"><xsl:value-of select="normalize-space()"/></span>
          </xsl:for-each>
        </div>
      </xsl:if>
    </div>
  </xsl:template>

  <!-- What the message means for the invoice, in one sentence. -->
  <xsl:template name="stato-messaggio">
    <xsl:variable name="classe">
      <xsl:choose>
        <xsl:when test="$codice-messaggio = 'RC' or (($codice-messaggio = 'NE' or $codice-messaggio = 'EC') and $esito = 'EC01')">positivo</xsl:when>
        <xsl:when test="$codice-messaggio = 'NS' or $codice-messaggio = 'SE' or (($codice-messaggio = 'NE' or $codice-messaggio = 'EC') and $esito = 'EC02')">negativo</xsl:when>
        <xsl:when test="$codice-messaggio = 'MC' or $codice-messaggio = 'AT'">avviso</xsl:when>
        <xsl:otherwise>neutro</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <div class="stato {$classe}">
      <xsl:choose>
        <xsl:when test="$codice-messaggio = 'RC'">La fattura è stata consegnata al destinatario.</xsl:when>
        <xsl:when test="$codice-messaggio = 'NS'">Il file è stato scartato dal Sistema di Interscambio: la fattura non è stata inoltrata al destinatario.</xsl:when>
        <xsl:when test="$codice-messaggio = 'MC'">Non è stato possibile consegnare la fattura al destinatario.</xsl:when>
        <xsl:when test="$codice-messaggio = 'AT'">La fattura è stata trasmessa, ma non è stato possibile recapitarla al destinatario.</xsl:when>
        <xsl:when test="$codice-messaggio = 'DT'">Sono decorsi i termini senza che il committente abbia comunicato l'esito della fattura.</xsl:when>
        <xsl:when test="$codice-messaggio = 'SE'">La notifica di esito del committente è stata scartata dal Sistema di Interscambio.</xsl:when>
        <xsl:when test="$codice-messaggio = 'MT'">Dati di trasmissione del file della fattura ricevuta.</xsl:when>
        <xsl:when test="$esito = 'EC01'">Il committente ha accettato la fattura.</xsl:when>
        <xsl:when test="$esito = 'EC02'">Il committente ha rifiutato la fattura.</xsl:when>
        <xsl:when test="$codice-messaggio = 'NE' or $codice-messaggio = 'EC'">Esito del committente sulla fattura.</xsl:when>
        <xsl:otherwise>Il documento non è un messaggio del Sistema di Interscambio riconosciuto: sono elencati i dati che contiene.</xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <!-- ==================================================== data of the message -->

  <xsl:template name="dati-messaggio">
    <xsl:variable name="righe">
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Identificativo SdI'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'IdentificativoSdI']"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Nome del file'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'NomeFile']"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Data e ora di ricezione'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'DataOraRicezione']"/>
        <xsl:with-param name="data" select="true()"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Data e ora di consegna'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'DataOraConsegna']"/>
        <xsl:with-param name="data" select="true()"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Data di messa a disposizione'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'DataMessaADisposizione']"/>
        <xsl:with-param name="data" select="true()"/>
      </xsl:call-template>
      <xsl:call-template name="riferimento-fattura">
        <xsl:with-param name="r" select="$m/*[local-name() = 'RiferimentoFattura']"/>
      </xsl:call-template>
      <xsl:for-each select="$m/*[local-name() = 'RiferimentoArchivio']">
        <xsl:call-template name="riga">
          <xsl:with-param name="etichetta" select="'Archivio: identificativo SdI'"/>
          <xsl:with-param name="nodo" select="*[local-name() = 'IdentificativoSdI']"/>
        </xsl:call-template>
        <xsl:call-template name="riga">
          <xsl:with-param name="etichetta" select="'Archivio: nome del file'"/>
          <xsl:with-param name="nodo" select="*[local-name() = 'NomeFile']"/>
        </xsl:call-template>
      </xsl:for-each>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Codice destinatario'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'CodiceDestinatario']"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Formato'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'Formato']"/>
        <xsl:with-param name="tab" select="$tab-formato"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Tentativi di invio'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'TentativiInvio']"/>
      </xsl:call-template>
      <xsl:for-each select="$m/*[local-name() = 'Scarto'][normalize-space()]">
        <tr>
          <th>Scarto</th>
          <td>
            <xsl:value-of select="normalize-space()"/>
            <xsl:choose>
              <xsl:when test="normalize-space() = 'EN00'"> - notifica non conforme al formato</xsl:when>
              <xsl:when test="normalize-space() = 'EN01'"> - notifica non ammissibile</xsl:when>
            </xsl:choose>
          </td>
        </tr>
      </xsl:for-each>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Identificativo del messaggio'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'MessageId']"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Identificativo del messaggio del committente'"/>
        <xsl:with-param name="nodo" select="$m[$codice-messaggio != 'EC']/*[local-name() = 'MessageIdCommittente']"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Identificativo del messaggio PEC'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'PecMessageId']"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Impronta del file'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'Hash']"/>
        <xsl:with-param name="classe" select="'impronta'"/>
      </xsl:call-template>
      <xsl:call-template name="riga">
        <xsl:with-param name="etichetta" select="'Impronta del file originale'"/>
        <xsl:with-param name="nodo" select="$m/*[local-name() = 'HashFileOriginale']"/>
        <xsl:with-param name="classe" select="'impronta'"/>
      </xsl:call-template>
      <xsl:for-each select="$m/@*[local-name() = 'IntermediarioConDupliceRuolo'][normalize-space()]">
        <tr>
          <th>Intermediario con duplice ruolo</th>
          <td><xsl:call-template name="si-no"/></td>
        </tr>
      </xsl:for-each>
      <xsl:for-each select="$m/@*[local-name() = 'FlussoSemplificato'][normalize-space()]">
        <tr>
          <th>Flusso semplificato</th>
          <td><xsl:call-template name="si-no"/></td>
        </tr>
      </xsl:for-each>
    </xsl:variable>
    <xsl:if test="string($righe) != ''">
      <h2>Dati del messaggio</h2>
      <table class="kv dati-messaggio">
        <xsl:copy-of select="$righe"/>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- A row of the first of the nodes that holds a value; nothing when none does. -->
  <xsl:template name="riga">
    <xsl:param name="etichetta"/>
    <xsl:param name="nodo"/>
    <xsl:param name="data" select="false()"/>
    <xsl:param name="classe" select="''"/>
    <xsl:param name="tab" select="''"/>
    <xsl:for-each select="$nodo[normalize-space()][1]">
      <tr>
        <th><xsl:value-of select="$etichetta"/></th>
        <td>
          <xsl:if test="$classe != ''">
            <xsl:attribute name="class"><xsl:value-of select="$classe"/></xsl:attribute>
          </xsl:if>
          <xsl:choose>
            <xsl:when test="$data">
              <!-- In Italian time, with the time as written beside it when that differs. -->
              <xsl:variable name="italiana">
                <xsl:if test="$conti"><xsl:value-of select="conti:ora-italiana(normalize-space())"/></xsl:if>
              </xsl:variable>
              <xsl:choose>
                <xsl:when test="string($italiana) != ''">
                  <xsl:call-template name="data">
                    <xsl:with-param name="v" select="concat(substring($italiana, 1, 10), 'T', substring($italiana, 12))"/>
                  </xsl:call-template>
                  <xsl:text> (ora italiana)</xsl:text>
                  <xsl:if test="substring(normalize-space(), 1, 19) != concat(substring($italiana, 1, 10), 'T', substring($italiana, 12))">
                    <span class="x"><xsl:text> (scritto </xsl:text><xsl:value-of select="normalize-space()"/><xsl:text>)</xsl:text></span>
                  </xsl:if>
                </xsl:when>
                <xsl:otherwise>
                  <xsl:call-template name="data"/>
                  <!-- The time is shown as written: say so when it is not Italian time. -->
                  <xsl:if test="substring(normalize-space(), string-length(normalize-space())) = 'Z'">
                    <xsl:text> (UTC)</xsl:text>
                  </xsl:if>
                </xsl:otherwise>
              </xsl:choose>
            </xsl:when>
            <xsl:when test="$tab != ''">
              <xsl:call-template name="codice">
                <xsl:with-param name="tab" select="$tab"/>
                <xsl:with-param name="ignoti" select="false()"/>
              </xsl:call-template>
            </xsl:when>
            <xsl:otherwise>
              <xsl:value-of select="normalize-space()"/>
            </xsl:otherwise>
          </xsl:choose>
        </td>
      </tr>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="si-no">
    <xsl:choose>
      <xsl:when test="normalize-space() = 'Si' or normalize-space() = 'SI'">Sì</xsl:when>
      <xsl:otherwise><xsl:value-of select="normalize-space()"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "n. 1111 del 2013, posizione 2 nel file". -->
  <xsl:template name="riferimento-fattura">
    <xsl:param name="r"/>
    <xsl:for-each select="$r[normalize-space()][1]">
      <tr>
        <th>Fattura di riferimento</th>
        <td>
          <xsl:for-each select="*[local-name() = 'NumeroFattura'][normalize-space()][1]">
            <xsl:text>n. </xsl:text>
            <xsl:value-of select="normalize-space()"/>
          </xsl:for-each>
          <xsl:for-each select="*[local-name() = 'AnnoFattura'][normalize-space()][1]">
            <xsl:text> dell'anno </xsl:text>
            <xsl:value-of select="normalize-space()"/>
          </xsl:for-each>
          <xsl:for-each select="*[local-name() = 'PosizioneFattura'][normalize-space()][1]">
            <xsl:text>, posizione </xsl:text>
            <xsl:value-of select="normalize-space()"/>
            <xsl:text> nel file</xsl:text>
          </xsl:for-each>
        </td>
      </tr>
    </xsl:for-each>
  </xsl:template>

  <!-- ====================================================== recipient -->

  <xsl:template name="destinatario">
    <xsl:for-each select="$m/*[local-name() = 'Destinatario'][normalize-space()][1]">
      <h2>Destinatario</h2>
      <table class="kv">
        <xsl:call-template name="riga">
          <xsl:with-param name="etichetta" select="'Codice'"/>
          <xsl:with-param name="nodo" select="*[local-name() = 'Codice']"/>
        </xsl:call-template>
        <xsl:for-each select="*[local-name() = 'Descrizione'][normalize-space()][1]">
          <tr>
            <th>
              <xsl:choose>
                <xsl:when test="contains(., '@')">Indirizzo PEC</xsl:when>
                <xsl:otherwise>Descrizione</xsl:otherwise>
              </xsl:choose>
            </th>
            <td><xsl:value-of select="normalize-space()"/></td>
          </tr>
        </xsl:for-each>
      </table>
    </xsl:for-each>
  </xsl:template>

  <!-- ================================================= recipient's outcome -->

  <xsl:template name="esito-committente">
    <xsl:for-each select="$esito-committente[1]">
      <xsl:variable name="righe">
        <xsl:for-each select="*[local-name() = 'Esito'][normalize-space()][1]">
          <tr>
            <th>Esito</th>
            <td>
              <xsl:value-of select="normalize-space()"/>
              <xsl:choose>
                <xsl:when test="normalize-space() = 'EC01'"> - fattura accettata</xsl:when>
                <xsl:when test="normalize-space() = 'EC02'"> - fattura rifiutata</xsl:when>
              </xsl:choose>
            </td>
          </tr>
        </xsl:for-each>
        <xsl:for-each select="*[local-name() = 'Descrizione'][normalize-space()][1]">
          <tr>
            <th>Motivo</th>
            <td class="testo"><xsl:call-template name="testo-libero"/></td>
          </tr>
        </xsl:for-each>
        <!-- Within a NE the outcome carries its own references; an EC's are above. -->
        <xsl:if test="$codice-messaggio = 'NE'">
          <xsl:call-template name="riga">
            <xsl:with-param name="etichetta" select="'Identificativo SdI'"/>
            <xsl:with-param name="nodo" select="*[local-name() = 'IdentificativoSdI']"/>
          </xsl:call-template>
          <xsl:call-template name="riferimento-fattura">
            <xsl:with-param name="r" select="*[local-name() = 'RiferimentoFattura']"/>
          </xsl:call-template>
        </xsl:if>
        <xsl:call-template name="riga">
          <xsl:with-param name="etichetta" select="'Identificativo del messaggio del committente'"/>
          <xsl:with-param name="nodo" select="*[local-name() = 'MessageIdCommittente']"/>
        </xsl:call-template>
      </xsl:variable>
      <xsl:if test="string($righe) != ''">
        <h2>Esito del committente</h2>
        <table class="kv">
          <xsl:copy-of select="$righe"/>
        </table>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <!-- ========================================================== errors -->

  <xsl:template name="errori">
    <xsl:variable name="errori" select="$m/*[local-name() = 'ListaErrori']/*[local-name() = 'Errore']"/>
    <xsl:if test="$errori">
      <xsl:variable name="con-suggerimento" select="$errori/*[local-name() = 'Suggerimento'][normalize-space()]"/>
      <h2>Errori riscontrati</h2>
      <table class="t errori">
        <xsl:if test="$con-suggerimento">
          <xsl:attribute name="class">t errori con-suggerimento</xsl:attribute>
        </xsl:if>
        <thead>
          <tr>
            <th class="codice">Codice</th>
            <th class="descrizione">Descrizione</th>
            <xsl:if test="$con-suggerimento">
              <th>Suggerimento</th>
            </xsl:if>
          </tr>
        </thead>
        <tbody>
          <xsl:for-each select="$errori">
            <tr>
              <td class="codice"><xsl:value-of select="normalize-space(*[local-name() = 'Codice'][1])"/></td>
              <td class="testo">
                <xsl:for-each select="*[local-name() = 'Descrizione'][1]">
                  <xsl:call-template name="testo-libero"/>
                </xsl:for-each>
              </td>
              <xsl:if test="$con-suggerimento">
                <td class="testo">
                  <xsl:for-each select="*[local-name() = 'Suggerimento'][1]">
                    <xsl:call-template name="testo-libero"/>
                  </xsl:for-each>
                </td>
              </xsl:if>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- ====================================================== free texts -->

  <!-- The description of a MC, AT or DT and the notes; an EC's description is its
       outcome's motive, shown there. -->
  <xsl:template name="testi">
    <xsl:for-each select="$m[$codice-messaggio != 'EC']/*[local-name() = 'Descrizione'][normalize-space()]">
      <h2>Descrizione</h2>
      <p class="testo"><xsl:call-template name="testo-libero"/></p>
    </xsl:for-each>
    <xsl:for-each select="$m/*[local-name() = 'Note'][normalize-space()]">
      <h2>Note</h2>
      <p class="testo"><xsl:call-template name="testo-libero"/></p>
    </xsl:for-each>
  </xsl:template>

  <!-- ============================================== anything else -->

  <!-- Every value this sheet has no place for, with its path from the message. -->
  <xsl:template name="altri-dati">
    <xsl:variable name="altri" select="$m/*[not(contains($campi-noti, concat('|', local-name(), '|')))]"/>
    <xsl:variable name="foglie" select="$altri/descendant-or-self::*[not(*)][normalize-space()]"/>
    <xsl:if test="$foglie">
      <h2>Altri dati</h2>
      <table class="t">
        <thead>
          <tr><th>Elemento</th><th>Valore</th></tr>
        </thead>
        <tbody>
          <xsl:for-each select="$foglie">
            <tr>
              <td>
                <xsl:for-each select="ancestor-or-self::*[count(ancestor::*) &gt; 0]">
                  <xsl:if test="position() &gt; 1">
                    <xsl:text> / </xsl:text>
                  </xsl:if>
                  <xsl:value-of select="local-name()"/>
                </xsl:for-each>
              </td>
              <td class="testo"><xsl:call-template name="testo-libero"/></td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <!-- ============================================================= CSS -->

  <!-- Beside the invoice pages' CSS: the sentence on the outcome, the
       errors table, the long fingerprints. -->
  <xsl:template name="css-messaggi">
    <xsl:text>
.testata .valore-testata { color: #fff; font-weight: bold; }
.stato { margin: 12px 0 4px; padding: 8px 12px; font-size: 14px; border: 1px solid #cfd5dd; border-left: 6px solid #1f4e79; background: #f4f7fa; }
.stato.positivo { border-left-color: #2e7d32; background: #eef6ee; }
.stato.negativo { border-left-color: #b3261e; background: #fbeeed; }
.stato.avviso { border-left-color: #b26a00; background: #fdf5e8; }
.messaggio table.kv th { width: 38%; }
td.impronta { font-family: "DejaVu Sans Mono", "Liberation Mono", Consolas, monospace; font-size: 12px; }
table.errori td.codice, table.errori th.codice { width: 70px; white-space: nowrap; overflow-wrap: normal; }
table.errori.con-suggerimento th.descrizione { width: 40%; }
.pagina.messaggio { max-width: 900px; }
@media print {
  .pagina.messaggio { max-width: none; }
  .stato, .stato.positivo, .stato.negativo, .stato.avviso { background: #fff; font-size: 10pt; }
  .testata .valore-testata { color: #000; }
  td.impronta { font-size: 8pt; }
}
</xsl:text>
  </xsl:template>

</xsl:stylesheet>
