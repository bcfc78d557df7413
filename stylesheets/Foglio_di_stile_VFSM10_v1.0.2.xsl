<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ondivo - stylesheet for simplified invoices (FSM10).
  The rendering lives in fatturapa_comune.xsl (same folder), which handles
  every FatturaPA structure; this sheet only fixes the output and names
  itself in the page footer.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="fatturapa_comune.xsl"/>
  <xsl:output method="html" encoding="windows-1252" indent="no" doctype-public="-//W3C//DTD HTML 4.01//EN" doctype-system="http://www.w3.org/TR/html4/strict.dtd"/>
  <xsl:variable name="foglio" select="'Foglio_di_stile_VFSM10_v1.0.2.xsl'"/>
</xsl:stylesheet>
