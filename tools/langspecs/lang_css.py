"""CSS, on its own or inside style elements of HTML. "-", "." and "#" are
word characters: property names such as "font-family" are single words, and
so are selectors such as ".header" and "#main", which can then not be taken
for the element of the same name.

Contexts: "empty" is the selector level, "block" the inside of a rule's
braces, "at-rule" the prelude of a conditional at-rule up to its brace."""
from builder import Language, LINE, SYMBOL

PROPERTIES = """
align-content align-items align-self all animation animation-delay
animation-direction animation-duration animation-fill-mode
animation-iteration-count animation-name animation-play-state
animation-timing-function appearance aspect-ratio backdrop-filter
backface-visibility background background-attachment background-blend-mode
background-clip background-color background-image background-origin
background-position background-repeat background-size block-size border
border-block border-bottom border-bottom-color border-bottom-left-radius
border-bottom-right-radius border-bottom-style border-bottom-width
border-collapse border-color border-image border-inline border-left
border-left-color border-left-style border-left-width border-radius
border-right border-right-color border-right-style border-right-width
border-spacing border-style border-top border-top-color
border-top-left-radius border-top-right-radius border-top-style
border-top-width border-width bottom box-shadow box-sizing break-after
break-before break-inside caption-side caret-color clear clip clip-path color
column-count column-gap column-rule column-span column-width columns
contain content counter-increment counter-reset cursor direction display
empty-cells filter flex flex-basis flex-direction flex-flow flex-grow
flex-shrink flex-wrap float font font-family font-feature-settings
font-kerning font-size font-size-adjust font-stretch font-style
font-variant font-variant-numeric font-weight gap grid grid-area
grid-auto-columns grid-auto-flow grid-auto-rows grid-column grid-column-end
grid-column-gap grid-column-start grid-gap grid-row grid-row-end
grid-row-gap grid-row-start grid-template grid-template-areas
grid-template-columns grid-template-rows height hyphens image-rendering
inline-size inset isolation justify-content justify-items justify-self left
letter-spacing line-break line-height list-style list-style-image
list-style-position list-style-type margin margin-block margin-bottom
margin-inline margin-left margin-right margin-top mask max-height
max-width min-height min-width mix-blend-mode object-fit object-position
opacity order orphans outline outline-color outline-offset outline-style
outline-width overflow overflow-wrap overflow-x overflow-y padding
padding-block padding-bottom padding-inline padding-left padding-right
padding-top page-break-after page-break-before page-break-inside
perspective perspective-origin place-content place-items place-self
pointer-events position quotes resize right rotate row-gap scale
scroll-behavior scroll-margin scroll-padding scroll-snap-align
scroll-snap-type scrollbar-color scrollbar-width tab-size table-layout
text-align text-align-last text-decoration text-decoration-color
text-decoration-line text-decoration-style text-indent text-overflow
text-rendering text-shadow text-transform text-underline-offset top
touch-action transform transform-origin transform-style transition
transition-delay transition-duration transition-property
transition-timing-function translate unicode-bidi user-select
vertical-align visibility white-space widows width will-change word-break
word-spacing word-wrap writing-mode z-index zoom src font-display
unicode-range""".split()

VALUES = """
inherit initial unset revert none auto normal bold bolder lighter italic
oblique block inline inline-block flex inline-flex grid inline-grid table
table-row table-cell list-item contents hidden visible scroll clip absolute
relative fixed sticky static left right center top bottom middle baseline
justify start end stretch space-between space-around space-evenly wrap
nowrap row column row-reverse column-reverse solid dashed dotted double
groove ridge inset outset transparent currentcolor pointer default text
move not-allowed wait help crosshair grab uppercase lowercase capitalize
underline overline line-through cover contain repeat no-repeat repeat-x
repeat-y fill ease ease-in ease-out ease-in-out linear infinite alternate
forwards backwards both running paused border-box content-box padding-box
break-word pre pre-wrap pre-line collapse separate disc circle square
decimal outside inside serif sans-serif monospace cursive fantasy
system-ui thin medium thick small large x-large xx-large smaller larger
ltr rtl important""".split()

COLORS = """
aqua black blue fuchsia gray grey green lime maroon navy olive orange purple
red silver teal white yellow aliceblue antiquewhite aquamarine azure beige
bisque blanchedalmond blueviolet brown burlywood cadetblue chartreuse
chocolate coral cornflowerblue cornsilk crimson cyan darkblue darkcyan
darkgoldenrod darkgray darkgreen darkkhaki darkmagenta darkolivegreen
darkorange darkorchid darkred darksalmon darkseagreen darkslateblue
darkslategray darkturquoise darkviolet deeppink deepskyblue dimgray
dodgerblue firebrick floralwhite forestgreen gainsboro ghostwhite gold
goldenrod greenyellow honeydew hotpink indianred indigo ivory khaki
lavender lavenderblush lawngreen lemonchiffon lightblue lightcoral
lightcyan lightgoldenrodyellow lightgray lightgreen lightpink lightsalmon
lightseagreen lightskyblue lightslategray lightsteelblue lightyellow
limegreen linen magenta mediumaquamarine mediumblue mediumorchid
mediumpurple mediumseagreen mediumslateblue mediumspringgreen
mediumturquoise mediumvioletred midnightblue mintcream mistyrose moccasin
navajowhite oldlace olivedrab orangered orchid palegoldenrod palegreen
paleturquoise palevioletred papayawhip peachpuff peru pink plum powderblue
rebeccapurple rosybrown royalblue saddlebrown salmon sandybrown seagreen
seashell sienna skyblue slateblue slategray snow springgreen steelblue tan
thistle tomato turquoise violet wheat whitesmoke yellowgreen""".split()

FUNCTIONS = """rgb rgba hsl hsla hwb lab lch color-mix calc min max clamp var attr
url linear-gradient radial-gradient conic-gradient repeating-linear-gradient
repeating-radial-gradient translate translatex translatey translate3d rotate
rotatex rotatey rotatez scale scalex scaley skew skewx skewy matrix
perspective cubic-bezier steps blur brightness contrast drop-shadow grayscale
hue-rotate invert saturate sepia minmax repeat fit-content format local
counter counters env""".split()

ELEMENTS = """a abbr address article aside audio b blockquote body button canvas
caption cite code dd details dialog div dl dt em fieldset figcaption figure
footer form h1 h2 h3 h4 h5 h6 header hr html i iframe img input label legend
li main mark nav ol optgroup option p picture pre progress q s section select
small span strong sub summary sup svg table tbody td textarea tfoot th thead
time tr u ul video""".split()

AT_RULE_WORDS = """and or not only screen print all speech min-width max-width
min-height max-height width height orientation portrait landscape
prefers-color-scheme prefers-reduced-motion dark light hover pointer
resolution aspect-ratio""".split()


def build():
    s = Language("css", "CSS", charset=["-", ".", "#"], autopair=["()", "[]", "{}", '""', "''"])

    levels = [("", "empty"), (" in block", "block"), (" in at-rule", "at-rule")]
    for suffix, ctx in levels:
        s.range("comment" + suffix, open="/*", close="*/", context=ctx,
                apply_context="comment", style="comment", unbalanced=True)
    for suffix, ctx in levels:
        s.range("double string" + suffix, open='"', close='"', context=ctx,
                apply_context="string", style="string", single_line=True,
                **{"break": "\\"})
        s.range("single string" + suffix, open="'", close="'", context=ctx,
                apply_context="string", style="string", single_line=True,
                **{"break": "\\"})
    for suffix, ctx in levels:
        s.range("url" + suffix, open="url(", close=")", context=ctx,
                apply_context="string", style="string", single_line=True)
    # Conditional at-rules hold whole rules: their prelude ends at the brace,
    # so the rules inside are read at the selector level.
    for rule in ["media", "supports", "container", "layer", "document"]:
        s.range(rule + " rule", open="@" + rule, close="{", context="empty",
                apply_context="at-rule", style="keyword", nest_styles=True)
    s.range("attribute selector", open="[", close="]", context="empty",
            apply_context="selector", style="html-attribute", single_line=True)
    s.range("declaration block", open="{", close="}", context="empty",
            apply_context="block", unbalanced=True)

    s.keyword("properties", PROPERTIES, style="html-attribute", context="block",
              auto_complete=True, auto_complete_context="block")
    s.keyword("values", VALUES, style="constant", context="block",
              auto_complete=True, auto_complete_context="block")
    s.keyword("colour names", COLORS, style="constant", context="block",
              auto_complete=True, auto_complete_context="block")
    s.keyword("functions", FUNCTIONS, style="built-in-function", context="block",
              auto_complete=True, auto_complete_context="block")
    s.keyword("elements", ELEMENTS, style="element", context="empty",
              auto_complete=True, auto_complete_context="empty")
    s.keyword("media features", AT_RULE_WORDS, style="constant", context="at-rule")

    # Selectors are whole words; the first character decides.
    s.prefix("class selector", prefixes=["."], context="empty", precedence=10,
             icon="sxCL", style="class", actions=["symbol", "menu", "navigate", "style"])
    s.prefix("id selector", prefixes=["#"], context="empty", precedence=20,
             icon="sxGV", style="constant", actions=["symbol", "menu", "navigate", "style"])
    s.prefix("pseudo class", prefixes=[":"], context="empty", precedence=30,
             style="keyword", actions=["style"])
    s.prefix("at-rule", prefixes=["@"], context="empty", precedence=40,
             style="keyword", actions=["style"])
    s.prefix("hex colour", prefixes=["#"], context="block", precedence=50,
             style="constant", actions=["style"])

    s.expression("import", keywords=["import"], context="empty", line_break=";",
                 expression_gpc="^import[[:space:]]*(url\\()?[[:space:]]*['\"]?"
                 "([^'\"()]*/)?([^/'\"()[:space:];]+)", token=3,
                 actions=["header"])
    return s
