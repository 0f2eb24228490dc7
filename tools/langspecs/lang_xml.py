"""XML (and property lists). ":" and "." are word characters, so qualified
names such as "xsl:template" are single words."""
from builder import Language


def build():
    s = Language("xml", "XML", charset=[":", "."], autopair=["<>", '""', "''"])

    s.range("comment", open="<!--", close="-->", context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("character data", open="<![CDATA[", close="]]>", context="empty",
            apply_context="cdata", style="string", unbalanced=True)
    s.range("declaration", open="<!", close=">", context="empty",
            apply_context="declaration", style="keyword", unbalanced=True)
    s.range("processing instruction", open="<?", close="?>", context="empty",
            apply_context="instruction", style="keyword", unbalanced=True)
    s.range("tag", open="<", close=">", context="empty", apply_context="tag",
            style="html-attribute", nest_styles=True, unbalanced=True)
    s.range("double value", open='"', close='"', context="tag", apply_context="value",
            style="string")
    s.range("single value", open="'", close="'", context="tag", apply_context="value",
            style="string")

    s.keyword("namespace attributes", ["xmlns", "xml:lang", "xml:space", "xml:id",
                                       "xml:base"],
              style="keyword", context="tag", auto_complete=True,
              auto_complete_context="tag")

    s.prefix("tag name", prefixes=["<"], context="tag", precedence=10,
             style="html-tag", actions=["style"])
    s.prefix("element id", prefixes=["id", "ID", "xml:id"], context="tag", precedence=20,
             expression="[iI][dD][[:space:]]*=[[:space:]]*[\"']([^\"']+)['\"]",
             line_break=">", token=1, icon="sxGV",
             actions=["symbol", "menu", "navigate"])
    s.prefix("entity", prefixes=["&"], context="empty", precedence=30,
             style="constant", actions=["style"])
    return s
