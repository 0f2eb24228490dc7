"""Ruby. "@", "$", "?" and ":" are word characters: "@name", "$stdout",
"empty?", ":symbol" and "Foo::Bar" are single words. Blocks opened by
reserved words are tracked to their "end", and a class or module symbol
lives as long as its block."""
from builder import Language, LINE, CR, END_OF_TEXT, SYMBOL

RESERVED = """begin case class def do else elsif end ensure for if in module next
redo rescue retry return self super then undef unless until when while yield
and or not alias defined? break __method__ __file__ __line__ __dir__
__encoding__""".split()

CONSTANTS = "nil true false".split()

BUILTINS = """puts print p pp require require_relative load include extend prepend
attr_accessor attr_reader attr_writer private protected public module_function
private_constant raise fail lambda proc loop catch throw format sprintf printf
gets rand srand sleep exit exit! abort at_exit fork system exec spawn open
block_given? binding caller freeze frozen? dup clone tap then instance_of?
is_a? kind_of? respond_to? send public_send instance_variable_get
instance_variable_set define_method method_missing respond_to_missing?
new initialize each each_with_index each_with_object map flat_map select
filter reject collect inject reduce find detect find_all group_by partition
sort sort_by min max min_by max_by sum count include? any? all? none? first
last take drop zip times upto downto step each_slice each_cons length size
empty? nil? to_s to_i to_f to_a to_h to_sym inspect join split strip chomp
gsub sub match scan upcase downcase capitalize merge fetch dig keys values
push pop shift unshift concat compact flatten uniq reverse""".split()

# Words after which a slash starts a literal (a method given a literal
# without brackets, as "split /,/", included).
OPERAND_WORDS = """when if elsif unless while until and or not return then in puts p
split scan match sub sub! gsub gsub! grep index""".split()


def build():
    s = Language("ruby", "Ruby", charset=["@", "$", "?", ":"],
             autopair=["()", "[]", "{}", '""', "''", "||"])

    s.range("documentation", open=CR + "=begin", close=CR + "=end", context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("end of program", open="__END__" + CR, close=END_OF_TEXT, context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("comment", open="#", close=LINE, context="empty", apply_context="comment",
            style="comment", single_line=True)
    # Heredocs end at a line holding their tag: "<<~" and "<<-" let it be
    # indented, a plain "<<" wants it at the start of the line.
    for mark, indented in [("~", True), ("-", True), ("", False)]:
        s.range("heredoc %s'" % mark, open="<<%s'" % mark, tag=True, tag_alone=True,
                indented_close=indented, context="empty", apply_context="literal",
                style="string", unbalanced=True)
        s.range('heredoc %s"' % mark, open='<<%s"' % mark, tag=True, tag_alone=True,
                indented_close=indented, context="empty", apply_context="string",
                style="string", nest_styles=True, unbalanced=True)
        s.range("heredoc " + mark, open="<<" + mark, tag=True, tag_alone=True, indented_close=indented,
                context="empty", apply_context="string", style="string",
                nest_styles=True, unbalanced=True)
    s.range("double string", open='"', close='"', context="empty", apply_context="string",
            style="string", nest_styles=True, unbalanced=True, **{"break": "\\"})
    s.range("single string", open="'", close="'", context="empty", apply_context="literal",
            style="string", unbalanced=True, **{"break": "\\"})
    s.range("command string", open="`", close="`", context="empty", apply_context="string",
            style="string", nest_styles=True, unbalanced=True, **{"break": "\\"})
    s.range("interpolation", open="#{", close="}", context="string",
            apply_context="interpolation", style="variable", balanced=True)
    # Percent literals, where an operand is expected ("a % (b)" divides):
    # brackets nest inside them ("%w(a (b) c)").
    pairs = [("(", ")"), ("[", "]"), ("{", "}"), ("<", ">"), ("|", "|"), ("/", "/"),
             ("!", "!")]
    for op, ctx in [("%w", "literal"), ("%W", "string"), ("%i", "literal"),
                    ("%I", "string"), ("%q", "literal"), ("%Q", "string"),
                    ("%r", "literal"), ("%x", "string"), ("%", "string")]:
        for o, c in pairs:
            if op == "%" and o in "|/!":
                continue  # "a % b" and the like
            s.range("%s%s" % (op, o), open=op + o, close=c, context="empty",
                    apply_context=ctx, style="string", unbalanced=True, operand=True,
                    operand_words=OPERAND_WORDS, balanced=(o != c),
                    nest_styles=(ctx == "string"),
                    **{"break": "\\"})
    # A slash where an operand is expected starts a literal; after a name, a
    # number, ")" or "]" it divides.
    s.range("regular expression", open="/", close="/", context="empty",
            apply_context="regex", style="string", single_line=True, operand=True,
            operand_words=OPERAND_WORDS, **{"break": "\\"})
    s.range("regular expression class", open="[", close="]", context="regex",
            apply_context="regex class", style="string", single_line=True,
            **{"break": "\\"})

    # Reserved words take part in block tracking.
    s.keyword("reserved words", RESERVED, style="keyword", context="empty",
              reserved=True, auto_complete=True, auto_complete_context="empty")
    s.keyword("constants", CONSTANTS, style="constant", context="empty",
              auto_complete=True, auto_complete_context="empty")
    s.keyword("built-in methods", BUILTINS, style="built-in-function", context="empty",
              auto_complete=True, auto_complete_context="empty")

    # "@name" and "@@name" alike: the first character decides.
    s.prefix("instance variable", prefixes=["@"], context="empty", precedence=10,
             style="instance-variable", actions=["style"])
    s.prefix("global variable", prefixes=["$"], context="empty", precedence=20,
             style="global-variable", actions=["style"])
    s.prefix("symbol", prefixes=[":"], context="empty", precedence=30,
             style="constant", actions=["style"])
    # "MAX = 10": a capitalised word that begins a line and is assigned.
    s.prefix("constant", prefixes=list("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), context="empty",
             precedence=40, line_start=True, line_break=LINE,
             expression="^([A-Z][A-Za-z0-9_]*)[[:space:]]*=([^=~>]|$)", token=1,
             allow_overloading=True, icon="sxCS", style="constant", actions=SYMBOL)

    # A class or module is a scope for as long as its block lasts. A one-line
    # class ("class E < StandardError; end") has closed its block by the end
    # of the line: it is a symbol, bound to no block.
    for kw in ["class", "module"]:
        s.expression(kw, keywords=[kw], context="empty", line_break=LINE,
                     expression_gpc="^%s[[:space:]]+([A-Z][A-Za-z0-9_:]*)" % kw,
                     token=1, icon="sxCL", style="class",
                     actions=SYMBOL + ["scope-block"])
    # Methods are not scopes: nothing in them needs a parent, and a one-line
    # method ("def to_s; name; end") stays harmless. "def self.x" and
    # "def Foo::x" name x; operators ("def []=", "def <=>") are names too.
    # Methods of different classes may share a name ("initialize").
    method = ("^def[[:space:]]+([A-Za-z_][A-Za-z0-9_]*(\\.|::))?"
              "([A-Za-z_][A-Za-z0-9_]*[?!=]?|\\[\\]=?|<=>|===?|=~|![=~]?|<<|>>|<=|>=|"
              "[-+*/%<>~^&|]@?|\\*\\*)")
    s.expression("method", keywords=["def"], context="empty", line_break=LINE,
                 expression_gpc=method, token=3, scopes=["class", "module"],
                 allow_overloading=True, icon="sxMT", style="method", actions=SYMBOL)
    s.expression("function", keywords=["def"], context="empty", line_break=LINE,
                 expression_gpc=method, token=3, scopes=["root"],
                 icon="sxFU", style="function", actions=SYMBOL)
    # "attr_reader :name, :size": every name is an accessor of the class.
    s.expression("accessor", keywords=["attr_reader", "attr_writer", "attr_accessor"],
                 context="empty", line_break=LINE, all_matches=True,
                 expression_gpc=":([A-Za-z_][A-Za-z0-9_]*)", token=1,
                 scopes=["class", "module"], allow_overloading=True,
                 icon="sxMT", style="method", actions=SYMBOL)
    s.expression("require", keywords=["require", "require_relative", "load"],
                 context="empty", line_break=LINE,
                 expression_gpc="['\"]([^'\"]*/)?([^/'\"]+)['\"]", token=2,
                 actions=["header"])

    s.scope_block("blocks", open=["class", "module", "def", "do", "begin", "case"],
                  open_newline=["if", "unless", "while", "until", "for"],
                  close=["end"], context="empty")
    return s
