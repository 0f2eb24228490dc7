"""HTML, with PHP, JavaScript and CSS embedded. Contexts: "empty" is text
content, "tag" the inside of a tag, "value" a quoted attribute value."""
from builder import Language

ELEMENTS = """a abbr address area article aside audio b base bdi bdo blockquote body
br button canvas caption cite code col colgroup data datalist dd del details
dfn dialog div dl dt em embed fieldset figcaption figure footer form h1 h2 h3
h4 h5 h6 head header hgroup hr html i iframe img input ins kbd label legend li
link main map mark menu meta meter nav noscript object ol optgroup option
output p param picture pre progress q rp rt ruby s samp script search section
select slot small source span strong style sub summary sup svg table tbody td
template textarea tfoot th thead time title tr track u ul var video wbr
acronym applet basefont big center font frame frameset marquee noframes
strike tt""".split()

ATTRIBUTES = """accept accept-charset accesskey action align allow alt async
autocapitalize autocomplete autofocus autoplay bgcolor border charset checked
cite class color cols colspan content contenteditable controls coords
crossorigin datetime decoding default defer dir dirname disabled download
draggable enctype enterkeyhint for form formaction formenctype formmethod
formnovalidate formtarget headers height hidden high href hreflang http-equiv
id inert inputmode integrity is itemprop kind label lang list loading loop low
max maxlength media method min minlength multiple muted name nonce novalidate
open optimum pattern ping placeholder playsinline popover poster preload
readonly referrerpolicy rel required reversed role rows rowspan sandbox scope
selected shape size sizes slot span spellcheck src srcdoc srclang srcset start
step style tabindex target title translate type usemap value width wrap
xmlns onabort onafterprint onbeforeprint onbeforeunload onblur oncanplay
onchange onclick oncontextmenu oncopy oncut ondblclick ondrag ondragend
ondragenter ondragleave ondragover ondragstart ondrop onended onerror onfocus
oninput oninvalid onkeydown onkeypress onkeyup onload onloadeddata
onmousedown onmouseenter onmouseleave onmousemove onmouseout onmouseover
onmouseup onpaste onpause onplay onplaying onpopstate onprogress onreset
onresize onscroll onsearch onseeked onselect onsubmit ontoggle onunload
onwheel""".split()


def build():
    s = Language("html", "HTML", autopair=["<>", '""', "''"])

    # Ranges that begin with "<" come in this order: the comment and the
    # declaration before the plain tag.
    s.range("comment", open="<!--", close="-->", context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("declaration", open="<!", close=">", context="empty",
            apply_context="declaration", style="keyword")
    # A tag's own style goes under those of its name, attributes and values.
    s.range("tag", open="<", close=">", context="empty", apply_context="tag",
            style="html", nest_styles=True, unbalanced=True)
    s.range("double value", open='"', close='"', context="tag", apply_context="value",
            style="string")
    s.range("single value", open="'", close="'", context="tag", apply_context="value",
            style="string")

    s.keyword("attributes", ATTRIBUTES, style="html-attribute", context="tag",
              auto_complete=True, auto_complete_context="tag")
    s.keyword("elements", ELEMENTS, style="html-tag", context="tag",
              auto_complete=True, auto_complete_context="tag")

    # Scripts and styles open wherever their open text stands and close at
    # their close text whatever the inner language is reading, as a browser
    # does. PHP opens anywhere too, but it ends only at a "?>" in its own code
    # (or in a line comment, which that ends): not in a string, a block
    # comment or a heredoc.
    for name, open_text in [("php", "<?php"), ("php upper case", "<?PHP"), ("php echo", "<?=")]:
        for context in ["empty", "tag", "value", "comment", "declaration"]:
            s.embed(name if context == "empty" else "%s in %s" % (name, context),
                    open=open_text, close="?>", open_context=context,
                    close_context="empty", language="php")
    for name, open_text, close_text, language in [
            ("javascript", "<script", "</script>", "javascript"),
            ("javascript upper case", "<SCRIPT", "</SCRIPT>", "javascript"),
            ("css", "<style", "</style>", "css"),
            ("css upper case", "<STYLE", "</STYLE>", "css")]:
        s.embed(name, open=open_text, close=close_text, open_context="any",
                close_context="any", language=language)

    s.prefix("tag name", prefixes=["<"], context="tag", precedence=10,
             style="html-tag", actions=["style"])
    s.prefix("element id", prefixes=["id", "ID", "Id"], context="tag", precedence=20,
             expression="[iI][dD][[:space:]]*=[[:space:]]*[\"']?([^\"'[:space:]>]+)",
             line_break=">", token=1, icon="sxGV",
             actions=["symbol", "menu", "navigate"])
    s.prefix("entity", prefixes=["&"], context="empty", precedence=30,
             style="constant", actions=["style"])
    return s
