<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ondivo - code tables for FatturaPA invoices.

  Each table is a string "|CODE=description|CODE=description|...|"; the
  "codice" template looks a code up and prints "CODE description".
  Plain strings keep the lookup free of document() calls, so the sheets
  work wherever libxslt loads them from.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:variable name="tab-formato" select="'|FPA12=fattura verso pubblica amministrazione|FPR12=fattura verso privati|FSM10=fattura semplificata|SDI11=formato SdI versione 1.1|SDI10=formato SdI versione 1.0|1.1=formato SdI versione 1.1|'"/>

  <!-- The program's own list of document types is made from this table when it is built. -->
  <xsl:variable name="tab-tipo-documento" select="&quot;|TD01=fattura|TD02=acconto/anticipo su fattura|TD03=acconto/anticipo su parcella|TD04=nota di credito|TD05=nota di debito|TD06=parcella|TD07=fattura semplificata|TD08=nota di credito semplificata|TD09=nota di debito semplificata|TD16=integrazione fattura reverse charge interno|TD17=integrazione/autofattura per acquisto servizi dall'estero|TD18=integrazione per acquisto di beni intracomunitari|TD19=integrazione/autofattura per acquisto di beni ex art. 17 c. 2 DPR 633/72|TD20=autofattura per regolarizzazione e integrazione delle fatture (ex art. 6 c. 9-bis D.Lgs. 471/97 o art. 46 c. 5 D.L. 331/93)|TD21=autofattura per splafonamento|TD22=estrazione beni da deposito IVA|TD23=estrazione beni da deposito IVA con versamento dell'IVA|TD24=fattura differita di cui all'art. 21, c. 4, terzo periodo, lett. a) DPR 633/72|TD25=fattura differita di cui all'art. 21, c. 4, terzo periodo, lett. b) DPR 633/72|TD26=cessione di beni ammortizzabili e per passaggi interni (ex art. 36 DPR 633/72)|TD27=fattura per autoconsumo o per cessioni gratuite senza rivalsa|TD28=acquisti da San Marino con IVA (fattura cartacea)|TD29=comunicazione per omessa o irregolare fatturazione (art. 6 c. 8 D.Lgs. 471/97)|&quot;"/>

  <xsl:variable name="tab-regime-fiscale" select="&quot;|RF01=regime ordinario|RF02=regime dei contribuenti minimi (art. 1, c. 96-117, L. 244/2007)|RF03=regime delle nuove iniziative produttive (art. 13, L. 388/2000)|RF04=agricoltura e attività connesse e pesca (artt. 34 e 34-bis, DPR 633/72)|RF05=vendita sali e tabacchi (art. 74, c. 1, DPR 633/72)|RF06=commercio dei fiammiferi (art. 74, c. 1, DPR 633/72)|RF07=editoria (art. 74, c. 1, DPR 633/72)|RF08=gestione di servizi di telefonia pubblica (art. 74, c. 1, DPR 633/72)|RF09=rivendita di documenti di trasporto pubblico e di sosta (art. 74, c. 1, DPR 633/72)|RF10=intrattenimenti, giochi e altre attività di cui alla tariffa allegata al DPR 640/72 (art. 74, c. 6, DPR 633/72)|RF11=agenzie di viaggi e turismo (art. 74-ter, DPR 633/72)|RF12=agriturismo (art. 5, c. 2, L. 413/1991)|RF13=vendite a domicilio (art. 25-bis, c. 6, DPR 600/73)|RF14=rivendita di beni usati, di oggetti d'arte, d'antiquariato o da collezione (art. 36, D.L. 41/1995)|RF15=agenzie di vendite all'asta di oggetti d'arte, antiquariato o da collezione (art. 40-bis, D.L. 41/1995)|RF16=IVA per cassa P.A. (art. 6, c. 5, DPR 633/72)|RF17=IVA per cassa (art. 32-bis, D.L. 83/2012)|RF18=altro|RF19=regime forfettario|RF20=regime transfrontaliero di franchigia IVA (Direttiva UE 2020/285)|&quot;"/>

  <xsl:variable name="tab-modalita-pagamento" select="'|MP01=contanti|MP02=assegno|MP03=assegno circolare|MP04=contanti presso Tesoreria|MP05=bonifico|MP06=vaglia cambiario|MP07=bollettino bancario|MP08=carta di pagamento|MP09=RID|MP10=RID utenze|MP11=RID veloce|MP12=RIBA|MP13=MAV|MP14=quietanza erario|MP15=giroconto su conti di contabilità speciale|MP16=domiciliazione bancaria|MP17=domiciliazione postale|MP18=bollettino di c/c postale|MP19=SEPA Direct Debit|MP20=SEPA Direct Debit CORE|MP21=SEPA Direct Debit B2B|MP22=trattenuta su somme già riscosse|MP23=PagoPA|'"/>

  <xsl:variable name="tab-condizioni-pagamento" select="'|TP01=pagamento a rate|TP02=pagamento completo|TP03=anticipo|'"/>

  <xsl:variable name="tab-natura" select="&quot;|N1=escluse ex art. 15 DPR 633/72|N2=non soggette|N2.1=non soggette ad IVA ai sensi degli artt. da 7 a 7-septies DPR 633/72|N2.2=non soggette - altri casi|N3=non imponibili|N3.1=non imponibili - esportazioni|N3.2=non imponibili - cessioni intracomunitarie|N3.3=non imponibili - cessioni verso San Marino|N3.4=non imponibili - operazioni assimilate alle cessioni all'esportazione|N3.5=non imponibili - a seguito di dichiarazioni d'intento|N3.6=non imponibili - altre operazioni che non concorrono alla formazione del plafond|N4=esenti|N5=regime del margine / IVA non esposta in fattura|N6=inversione contabile (reverse charge)|N6.1=inversione contabile - cessione di rottami e altri materiali di recupero|N6.2=inversione contabile - cessione di oro e argento ai sensi della L. 7/2000 nonché di oreficeria usata ad OPO|N6.3=inversione contabile - subappalto nel settore edile|N6.4=inversione contabile - cessione di fabbricati|N6.5=inversione contabile - cessione di telefoni cellulari|N6.6=inversione contabile - cessione di prodotti elettronici|N6.7=inversione contabile - prestazioni comparto edile e settori connessi|N6.8=inversione contabile - operazioni settore energetico|N6.9=inversione contabile - altri casi|N7=IVA assolta in altro stato UE (vendite a distanza e servizi di telecomunicazione, tele-radiodiffusione ed elettronici)|&quot;"/>

  <xsl:variable name="tab-esigibilita" select="'|I=esigibilità immediata|D=esigibilità differita|S=scissione dei pagamenti|'"/>

  <xsl:variable name="tab-soggetto-emittente" select="'|CC=cessionario/committente|TZ=terzo|'"/>

  <xsl:variable name="tab-tipo-ritenuta" select="'|RT01=ritenuta di acconto persone fisiche|RT02=ritenuta di acconto persone giuridiche|RT03=contributo INPS|RT04=contributo ENASARCO|RT05=contributo ENPAM|RT06=altro contributo previdenziale|'"/>

  <!-- Payment reasons of the withholding-tax certificate (modello CU). -->
  <xsl:variable name="tab-causale-pagamento" select="&quot;|A=prestazioni di lavoro autonomo rientranti nell'esercizio di arte o professione abituale|B=utilizzazione economica da parte dell'autore o dell'inventore di opere dell'ingegno, brevetti, processi, formule|C=utili da contratti di associazione in partecipazione o cointeressenza con apporto di solo lavoro|D=utili spettanti ai soci promotori e ai soci fondatori delle società di capitali|E=levata di protesti cambiari da parte dei segretari comunali|G=indennità per cessazione di attività sportiva professionale|H=indennità per cessazione di rapporti di agenzia|I=indennità per cessazione da funzioni notarili|L=utilizzazione economica di opere dell'ingegno, brevetti, processi o formule: redditi percepiti a titolo gratuito dagli aventi causa dell'autore o inventore (eredi, legatari)|L1=utilizzazione economica di opere dell'ingegno, brevetti, processi o formule: redditi percepiti da chi ne ha acquistato i diritti a titolo oneroso|M=prestazioni di lavoro autonomo non esercitate abitualmente|M1=redditi derivanti dall'assunzione di obblighi di fare, non fare o permettere|M2=prestazioni di lavoro autonomo non abituali con obbligo di iscrizione alla gestione separata ENPAPI|N=indennità di trasferta, rimborsi forfetari, premi e compensi per attività sportive dilettantistiche|O=prestazioni di lavoro autonomo non abituali senza obbligo di iscrizione alla gestione separata|O1=redditi da obblighi di fare, non fare o permettere senza obbligo di iscrizione alla gestione separata|P=compensi a non residenti per l'uso o la concessione in uso di attrezzature industriali, commerciali o scientifiche|Q=provvigioni ad agente o rappresentante di commercio monomandatario|R=provvigioni ad agente o rappresentante di commercio plurimandatario|S=provvigioni a commissionario|T=provvigioni a mediatore|U=provvigioni da rapporti di procacciamento di affari|V=provvigioni da vendita a domicilio o porta a porta e vendita ambulante di giornali|V1=redditi da attività commerciali non esercitate abitualmente|V2=redditi da prestazioni non abituali rese da incaricati alla vendita diretta a domicilio|W=corrispettivi per prestazioni relative a contratti d'appalto (art. 25-ter DPR 600/73)|X=canoni corrisposti nel 2004 a società o stabili organizzazioni di altri stati UE|Y=canoni corrisposti dal 1/1/2005 al 26/7/2005 a società o stabili organizzazioni di altri stati UE|Z=titolo diverso dai precedenti|ZO=titolo diverso dai precedenti|&quot;"/>

  <xsl:variable name="tab-tipo-cassa" select="&quot;|TC01=Cassa nazionale previdenza e assistenza avvocati e procuratori legali|TC02=Cassa previdenza dottori commercialisti|TC03=Cassa previdenza e assistenza geometri|TC04=Cassa nazionale previdenza e assistenza ingegneri e architetti liberi professionisti|TC05=Cassa nazionale del notariato|TC06=Cassa nazionale previdenza e assistenza ragionieri e periti commerciali|TC07=Ente nazionale assistenza agenti e rappresentanti di commercio (ENASARCO)|TC08=Ente nazionale previdenza e assistenza consulenti del lavoro (ENPACL)|TC09=Ente nazionale previdenza e assistenza medici (ENPAM)|TC10=Ente nazionale previdenza e assistenza farmacisti (ENPAF)|TC11=Ente nazionale previdenza e assistenza veterinari (ENPAV)|TC12=Ente nazionale previdenza e assistenza impiegati dell'agricoltura (ENPAIA)|TC13=Fondo previdenza impiegati imprese di spedizione e agenzie marittime|TC14=Istituto nazionale previdenza giornalisti italiani (INPGI)|TC15=Opera nazionale assistenza orfani sanitari italiani (ONAOSI)|TC16=Cassa autonoma assistenza integrativa giornalisti italiani (CASAGIT)|TC17=Ente previdenza periti industriali e periti industriali laureati (EPPI)|TC18=Ente previdenza e assistenza pluricategoriale (EPAP)|TC19=Ente nazionale previdenza e assistenza biologi (ENPAB)|TC20=Ente nazionale previdenza e assistenza professione infermieristica (ENPAPI)|TC21=Ente nazionale previdenza e assistenza psicologi (ENPAP)|TC22=INPS|&quot;"/>

  <xsl:variable name="tab-tipo-cessione" select="'|SC=sconto|PR=premio|AB=abbuono|AC=spesa accessoria|'"/>

  <xsl:variable name="tab-sconto-maggiorazione" select="'|SC=sconto|MG=maggiorazione|'"/>

  <xsl:variable name="tab-socio-unico" select="'|SU=socio unico|SM=più soci|'"/>

  <xsl:variable name="tab-stato-liquidazione" select="'|LS=in liquidazione|LN=non in liquidazione|'"/>

  <xsl:variable name="tab-art73" select="&quot;|SI=documento emesso secondo modalità e termini stabiliti con D.M. ai sensi dell'art. 73 DPR 633/72|&quot;"/>

  <xsl:variable name="tab-ritenuta" select="'|SI=soggetta a ritenuta|'"/>

  <xsl:variable name="tab-bollo" select="'|SI=bollo assolto in modo virtuale|'"/>

  <xsl:variable name="tab-resa" select="'|EXW=franco fabbrica|FCA=franco vettore|FAS=franco lungo bordo|FOB=franco a bordo|CFR=costo e nolo|CIF=costo, assicurazione e nolo|CPT=trasporto pagato fino a|CIP=trasporto e assicurazione pagati fino a|DAP=reso al luogo di destinazione|DPU=reso al luogo di destinazione scaricato|DAT=reso al terminal|DDP=reso sdoganato|DDU=reso non sdoganato|DAF=reso frontiera|DES=reso franco bordo nave|DEQ=reso banchina|'"/>

  <!-- Recipient codes that stand for "no SdI channel". -->
  <xsl:variable name="tab-destinatario" select="'|0000000=nessun codice: recapito tramite PEC o area riservata|XXXXXXX=destinatario estero|'"/>

  <!--
    Prints "CODE description" for a code found in $tab, "CODE (codice non
    previsto)" for an unknown code, the plain value when $ignoti is false.
  -->
  <xsl:template name="codice">
    <xsl:param name="tab"/>
    <xsl:param name="v" select="normalize-space(.)"/>
    <xsl:param name="ignoti" select="true()"/>
    <xsl:variable name="d" select="substring-before(substring-after($tab, concat('|', $v, '=')), '|')"/>
    <xsl:value-of select="$v"/>
    <xsl:choose>
      <xsl:when test="$d != ''">
        <xsl:text> </xsl:text>
        <xsl:value-of select="$d"/>
      </xsl:when>
      <xsl:when test="$v != '' and $ignoti">
        <xsl:text> (codice non previsto)</xsl:text>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- Only the description of a code (empty when unknown). -->
  <xsl:template name="descrizione-codice">
    <xsl:param name="tab"/>
    <xsl:param name="v" select="normalize-space(.)"/>
    <xsl:value-of select="substring-before(substring-after($tab, concat('|', $v, '=')), '|')"/>
  </xsl:template>

</xsl:stylesheet>
