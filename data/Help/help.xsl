<?xml version="1.0" encoding="UTF-8"?>
<!--
  help.xsl - shows one topic of help.xml as an HTML page (XSLT 1.0).

  How the page is chosen. The info window writes small text files into the
  help folder before each display; this stylesheet takes the same values as
  stylesheet parameters, one parameter per file, named after the file:

    file                            parameter         default
    $$$topic-filter$$$.txt          topic             (empty: see below)
    $$$main-filter$$$.txt           main-filter       (empty)
    $$$background-color$$$.txt      background-color  #FFFFFF
    $$$text-color$$$.txt            text-color        #000000
    $$$blend-color$$$.txt           blend-color       #E8E8E8
    $$$link-color$$$.txt            link-color        #0000C0
    $$$font-size$$$.txt             font-size         -13
    $$$font-family$$$.txt           font-family       sans-serif

  The info window reads each file and passes its text as a string parameter
  (with libxslt: xsltQuoteUserParams, or xsltApplyStylesheet with each
  value quoted as an XPath string literal). XSLT 1.0 cannot read a plain
  text file itself, so the parameters are the channel.

  Choosing the topic:
  1. topic, when not blank: the topic whose name, key or one of whose
     aliases equals it, without regard to letter case;
  2. else main-filter, when it has the form *[name='NAME']: NAME as in 1;
  3. else the start page "help".
  A name that matches no topic gives a page that says so, followed by the
  index of all topics. Opened without parameters (for instance by a
  browser through the xml-stylesheet instruction in help.xml) the
  stylesheet shows the start page.

  Links: view://NAME opens a topic (operators use their plain-word key,
  for example view://op-plus); exec://TEXT runs an example, with blanks
  written %20 and line ends as " , " (a statement separator, which means
  the same as a line end); copy://TEXT copies an example with its lines,
  blanks written %20, lines separated by "<br />" and every two blanks
  of indentation written as one "<TABLE>" ("</TABLE>" when it ends) in
  front of the line, except on the last line, which the window takes
  without tags.

  Output: HTML written with the XML output method, so that link texts keep
  their characters exactly (the HTML method would escape them).
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:output method="xml" encoding="UTF-8" omit-xml-declaration="yes"
              doctype-system="about:legacy-compat" indent="no"/>

  <xsl:param name="topic" select="''"/>
  <xsl:param name="main-filter" select="''"/>
  <xsl:param name="background-color" select="'#FFFFFF'"/>
  <xsl:param name="text-color" select="'#000000'"/>
  <xsl:param name="blend-color" select="'#E8E8E8'"/>
  <xsl:param name="link-color" select="'#0000C0'"/>
  <xsl:param name="font-size" select="'-13'"/>
  <xsl:param name="font-family" select="'sans-serif'"/>
  <!-- Given by the info window for a word that names no topic: topics
       spelt like it, and the topics for a word of another Logo dialect. -->
  <xsl:param name="closest" select="''"/>
  <xsl:param name="dialect" select="''"/>

  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>

  <!-- The requested name, lower-cased. -->
  <xsl:variable name="wanted">
    <xsl:variable name="raw">
      <xsl:choose>
        <xsl:when test="normalize-space($topic) != ''">
          <xsl:value-of select="normalize-space($topic)"/>
        </xsl:when>
        <xsl:when test="contains($main-filter, &quot;[name='&quot;)">
          <xsl:value-of select="normalize-space(substring-before(
              substring-after($main-filter, &quot;[name='&quot;), &quot;']&quot;))"/>
        </xsl:when>
        <xsl:otherwise>help</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:value-of select="translate($raw, $upper, $lower)"/>
  </xsl:variable>

  <xsl:variable name="chosen" select="(/help/topic[
      translate(@name, $upper, $lower) = $wanted
      or translate(@key, $upper, $lower) = $wanted
      or contains(concat(' ', normalize-space(translate(@aliases, $upper, $lower)), ' '),
                  concat(' ', $wanted, ' '))])[1]"/>

  <!-- Pixels from the font height: negative means pixels of the glyphs,
       positive the cell height; either way its magnitude. -->
  <xsl:variable name="pixels">
    <xsl:choose>
      <xsl:when test="number($font-size) &lt; 0"><xsl:value-of select="- number($font-size)"/></xsl:when>
      <xsl:when test="number($font-size) &gt; 0"><xsl:value-of select="number($font-size)"/></xsl:when>
      <xsl:otherwise>13</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <xsl:template match="/">
    <html>
      <head>
        <meta charset="UTF-8"/>
        <title>
          <xsl:text>Tavro help: </xsl:text>
          <xsl:choose>
            <xsl:when test="$chosen"><xsl:value-of select="$chosen/@name"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="$wanted"/></xsl:otherwise>
          </xsl:choose>
        </title>
        <style type="text/css">
          <xsl:text>body { background: </xsl:text><xsl:value-of select="$background-color"/>
          <xsl:text>; color: </xsl:text><xsl:value-of select="$text-color"/>
          <xsl:text>; font-family: "</xsl:text><xsl:value-of select="translate($font-family, '&quot;;{}', '')"/>
          <xsl:text>", sans-serif; font-size: </xsl:text><xsl:value-of select="$pixels"/>
          <xsl:text>px; margin: 0.8em; }
a { color: </xsl:text><xsl:value-of select="$link-color"/><xsl:text>; }
h1 { font-size: 150%; margin: 0.2em 0 0.6em 0; }
h2 { font-size: 115%; margin: 1em 0 0.3em 0; }
code, pre { font-family: monospace; }
pre { background: </xsl:text><xsl:value-of select="$blend-color"/><xsl:text>; padding: 0.4em 0.6em; margin: 0.3em 0; white-space: pre-wrap; }
pre.result { background: transparent; border-left: 3px solid </xsl:text><xsl:value-of select="$blend-color"/><xsl:text>; }
.nav { border-bottom: 1px solid </xsl:text><xsl:value-of select="$blend-color"/><xsl:text>; padding-bottom: 0.3em; margin-bottom: 0.6em; }
.links a { margin-right: 1em; }
table.facts td { vertical-align: top; padding: 0.1em 0.8em 0.1em 0; }
.group { margin: 0.3em 0 0.6em 0; line-height: 1.6; }
.group a { margin-right: 0.8em; }
</xsl:text>
        </style>
      </head>
      <body>
        <div class="nav">
          <a href="view://help">Start</a>
          <xsl:text> | </xsl:text>
          <a href="view://index">Index</a>
        </div>
        <xsl:choose>
          <xsl:when test="$chosen">
            <xsl:apply-templates select="$chosen"/>
          </xsl:when>
          <xsl:otherwise>
            <h1>
              <xsl:text>No topic named </xsl:text>
              <xsl:value-of select="$wanted"/>
            </h1>
            <xsl:if test="normalize-space($dialect) != ''">
              <p>Other Logo dialects have <code><xsl:value-of select="$wanted"/></code>; here read:
                <xsl:call-template name="see-links">
                  <xsl:with-param name="rest" select="concat(normalize-space($dialect), ' ')"/>
                </xsl:call-template>
              </p>
            </xsl:if>
            <xsl:if test="normalize-space($closest) != ''">
              <p>Topics with a similar name:
                <xsl:call-template name="see-links">
                  <xsl:with-param name="rest" select="concat(normalize-space($closest), ' ')"/>
                </xsl:call-template>
              </p>
            </xsl:if>
            <p>Choose one of these topics:</p>
            <xsl:call-template name="all-topics"/>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <!-- ================================================== one topic page -->

  <xsl:template match="topic">
    <h1><xsl:value-of select="title"/></h1>
    <xsl:if test="use">
      <pre class="use">
        <xsl:for-each select="use">
          <xsl:if test="position() &gt; 1"><xsl:text>&#10;</xsl:text></xsl:if>
          <xsl:value-of select="."/>
        </xsl:for-each>
      </pre>
    </xsl:if>
    <xsl:if test="inputs or output">
      <table class="facts">
        <xsl:if test="inputs">
          <tr><td><b>Inputs</b></td><td><xsl:apply-templates select="inputs/node()"/></td></tr>
        </xsl:if>
        <xsl:if test="output">
          <tr><td><b>Output</b></td><td><xsl:apply-templates select="output/node()"/></td></tr>
        </xsl:if>
      </table>
    </xsl:if>
    <xsl:apply-templates select="p | contents | index"/>
    <xsl:if test="example">
      <h2>
        <xsl:choose>
          <xsl:when test="count(example) &gt; 1">Examples</xsl:when>
          <xsl:otherwise>Example</xsl:otherwise>
        </xsl:choose>
      </h2>
      <xsl:apply-templates select="example"/>
    </xsl:if>
    <xsl:if test="normalize-space(see) != ''">
      <h2>See also</h2>
      <p class="links">
        <xsl:call-template name="see-links">
          <xsl:with-param name="rest" select="concat(normalize-space(see), ' ')"/>
        </xsl:call-template>
      </p>
    </xsl:if>
  </xsl:template>

  <xsl:template match="p">
    <p><xsl:apply-templates/></p>
  </xsl:template>

  <xsl:template match="c">
    <code><xsl:value-of select="."/></code>
  </xsl:template>

  <xsl:template match="b">
    <b><xsl:apply-templates/></b>
  </xsl:template>

  <!-- <v>NAME</v> (or <v to="NAME">text</v>): a link to a topic. -->
  <xsl:template match="v">
    <xsl:variable name="target">
      <xsl:choose>
        <xsl:when test="@to"><xsl:value-of select="@to"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="normalize-space(.)"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <a>
      <xsl:attribute name="href">
        <xsl:call-template name="view-address">
          <xsl:with-param name="name" select="$target"/>
        </xsl:call-template>
      </xsl:attribute>
      <code><xsl:value-of select="."/></code>
    </a>
  </xsl:template>

  <!-- view://KEY for the topic NAME: its key when it has one. -->
  <xsl:template name="view-address">
    <xsl:param name="name"/>
    <xsl:variable name="t" select="/help/topic[@name = $name][1]"/>
    <xsl:text>view://</xsl:text>
    <xsl:choose>
      <xsl:when test="$t/@key"><xsl:value-of select="$t/@key"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$name"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="topic-link">
    <xsl:param name="t"/>
    <a>
      <xsl:attribute name="href">
        <xsl:call-template name="view-address">
          <xsl:with-param name="name" select="$t/@name"/>
        </xsl:call-template>
      </xsl:attribute>
      <xsl:attribute name="title"><xsl:value-of select="$t/title"/></xsl:attribute>
      <xsl:value-of select="$t/@name"/>
    </a>
  </xsl:template>

  <!-- The blank-separated names of <see>, each as a link. -->
  <xsl:template name="see-links">
    <xsl:param name="rest"/>
    <xsl:if test="normalize-space($rest) != ''">
      <xsl:variable name="name" select="substring-before($rest, ' ')"/>
      <xsl:variable name="t" select="/help/topic[@name = $name][1]"/>
      <xsl:choose>
        <xsl:when test="$t">
          <xsl:call-template name="topic-link">
            <xsl:with-param name="t" select="$t"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:otherwise><code><xsl:value-of select="$name"/></code></xsl:otherwise>
      </xsl:choose>
      <xsl:text> </xsl:text>
      <xsl:call-template name="see-links">
        <xsl:with-param name="rest" select="substring-after($rest, ' ')"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- ========================================================= examples -->

  <xsl:template match="example">
    <pre class="code"><xsl:value-of select="code"/></pre>
    <div class="links">
      <xsl:if test="not(@run = 'no')">
        <a>
          <xsl:attribute name="href">
            <xsl:text>exec://</xsl:text>
            <xsl:call-template name="exec-text">
              <xsl:with-param name="rest" select="concat(code, '&#10;')"/>
            </xsl:call-template>
          </xsl:attribute>
          <xsl:text>Run</xsl:text>
        </a>
        <!-- HTML views without CSS margins still keep the two apart. -->
        <xsl:text>&#160;&#160;|&#160;&#160;</xsl:text>
      </xsl:if>
      <a>
        <xsl:attribute name="href">
          <xsl:text>copy://</xsl:text>
          <xsl:call-template name="copy-text">
            <xsl:with-param name="rest" select="concat(code, '&#10;')"/>
          </xsl:call-template>
        </xsl:attribute>
        <xsl:text>Copy</xsl:text>
      </a>
    </div>
    <xsl:if test="result">
      <pre class="result"><xsl:value-of select="result"/></pre>
    </xsl:if>
  </xsl:template>

  <!-- exec:// text: the non-empty lines, trimmed, joined by " , ". -->
  <xsl:template name="exec-text">
    <xsl:param name="rest"/>
    <xsl:param name="first" select="true()"/>
    <xsl:if test="$rest != ''">
      <xsl:variable name="line" select="normalize-space(substring-before($rest, '&#10;'))"/>
      <xsl:if test="$line != ''">
        <xsl:if test="not($first)"><xsl:text>%20,%20</xsl:text></xsl:if>
        <xsl:call-template name="blanks-encoded">
          <xsl:with-param name="text" select="$line"/>
        </xsl:call-template>
      </xsl:if>
      <xsl:call-template name="exec-text">
        <xsl:with-param name="rest" select="substring-after($rest, '&#10;')"/>
        <xsl:with-param name="first" select="$first and $line = ''"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- copy:// text: the lines trimmed and separated by "<br />";
       indentation (two blanks a level) as "<TABLE>" and "</TABLE>" in
       front of a line. The window takes the last line as it stands (no
       tags, no indentation), so it gets no tags here. -->
  <xsl:template name="copy-text">
    <xsl:param name="rest"/>
    <xsl:param name="level" select="0"/>
    <xsl:if test="$rest != ''">
      <xsl:variable name="raw" select="substring-before($rest, '&#10;')"/>
      <xsl:variable name="line" select="normalize-space($raw)"/>
      <xsl:variable name="indent">
        <xsl:choose>
          <xsl:when test="$line = ''"><xsl:value-of select="$level"/></xsl:when>
          <xsl:otherwise>
            <xsl:value-of select="floor(string-length(substring-before($raw, substring($line, 1, 1))) div 2)"/>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:variable>
      <xsl:variable name="last" select="substring-after($rest, '&#10;') = ''"/>
      <xsl:if test="not($last)">
        <xsl:call-template name="repeat-text">
          <xsl:with-param name="text" select="'&lt;TABLE&gt;'"/>
          <xsl:with-param name="times" select="$indent - $level"/>
        </xsl:call-template>
        <xsl:call-template name="repeat-text">
          <xsl:with-param name="text" select="'&lt;/TABLE&gt;'"/>
          <xsl:with-param name="times" select="$level - $indent"/>
        </xsl:call-template>
      </xsl:if>
      <xsl:call-template name="blanks-encoded">
        <xsl:with-param name="text" select="$line"/>
      </xsl:call-template>
      <xsl:if test="not($last)"><xsl:text>&lt;br /&gt;</xsl:text></xsl:if>
      <xsl:call-template name="copy-text">
        <xsl:with-param name="rest" select="substring-after($rest, '&#10;')"/>
        <xsl:with-param name="level" select="$indent"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="repeat-text">
    <xsl:param name="text"/>
    <xsl:param name="times"/>
    <xsl:if test="$times &gt; 0">
      <xsl:value-of select="$text"/>
      <xsl:call-template name="repeat-text">
        <xsl:with-param name="text" select="$text"/>
        <xsl:with-param name="times" select="$times - 1"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="blanks-encoded">
    <xsl:param name="text"/>
    <xsl:choose>
      <xsl:when test="contains($text, ' ')">
        <xsl:value-of select="substring-before($text, ' ')"/>
        <xsl:text>%20</xsl:text>
        <xsl:call-template name="blanks-encoded">
          <xsl:with-param name="text" select="substring-after($text, ' ')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ============================================ generated topic lists -->

  <!-- <contents/>: every group with its topics, in document order. -->
  <xsl:template match="contents">
    <xsl:for-each select="/help/groups/group[@id != 'start']">
      <xsl:variable name="id" select="@id"/>
      <h2><xsl:value-of select="@title"/></h2>
      <div class="group">
        <xsl:for-each select="/help/topic[@group = $id]">
          <xsl:call-template name="topic-link">
            <xsl:with-param name="t" select="."/>
          </xsl:call-template>
          <xsl:text> </xsl:text>
        </xsl:for-each>
      </div>
    </xsl:for-each>
  </xsl:template>

  <!-- <index/>: every topic with its title, alphabetically. -->
  <xsl:template match="index">
    <xsl:call-template name="all-topics"/>
  </xsl:template>

  <xsl:template name="all-topics">
    <table class="facts">
      <xsl:for-each select="/help/topic">
        <xsl:sort select="translate(@name, $upper, $lower)"/>
        <tr>
          <td>
            <xsl:call-template name="topic-link">
              <xsl:with-param name="t" select="."/>
            </xsl:call-template>
          </td>
          <td><xsl:value-of select="title"/></td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>

  <!-- Text inside inputs, output and p is copied as it stands. -->
  <xsl:template match="text()">
    <xsl:value-of select="."/>
  </xsl:template>

</xsl:stylesheet>
