"""Perl. Sigils are not word characters: "$", "@" and "%" are prefixes that
name the word after them."""
from builder import Language, LINE, CR, END_OF_TEXT, SYMBOL

RESERVED = """if elsif else unless while until for foreach do last next redo return
goto my our local state sub package use no require and or not xor eq ne lt gt
le ge cmp continue given when default eval begin end init check unitcheck
__package__ __file__ __line__ __sub__ __end__ __data__""".split()

BUILTINS = """
print printf sprintf say chomp chop chr crypt hex index lc lcfirst length oct
ord pack reverse rindex substr uc ucfirst quotemeta abs atan2 cos exp int log
rand sin sqrt srand push pop shift unshift splice grep join map sort unpack
split delete each exists keys values wantarray binmode close closedir die eof
fileno flock format getc open opendir read readdir readline rename rewinddir
seek seekdir select sysopen sysread sysseek syswrite tell telldir truncate
unlink warn write mkdir rmdir chdir chmod chown chroot glob link lstat
readlink stat symlink umask utime alarm exec exit fork getppid getpgrp kill
pipe sleep system times wait waitpid time localtime gmtime defined undef ref
bless scalar caller lock prototype tie tied untie dump sprintf pos study
accept bind connect listen recv send shutdown socket socketpair getsockopt
setsockopt gethostbyname getpwnam getpwuid getgrnam getlogin""".split()

FILEHANDLES = ["STDIN", "STDOUT", "STDERR", "ARGV", "ARGVOUT", "DATA"]

POD_COMMANDS = ["head1", "head2", "head3", "head4", "item", "over", "back", "pod",
                "begin", "end", "for", "encoding"]

DELIMITERS = [("(", ")"), ("{", "}"), ("[", "]"), ("<", ">"), ("/", "/"), ("|", "|"),
              ("#", "#"), ("!", "!")]

# Words after which a slash starts a match.
OPERAND_WORDS = """split grep map join return and or not if unless while until
when x lt gt le ge eq ne cmp""".split()


def build():
    s = Language("perl", "Perl", autopair=["()", "[]", "{}", '""', "''"])

    # Pod opens at a pod command at the start of a line and ends at "=cut".
    for command in POD_COMMANDS:
        s.range("pod " + command, open="=" + command, anchor=True, close=CR + "=cut",
                context="empty", apply_context="comment", style="comment", unbalanced=True)
    # The word part of an open text names the word that must stand right
    # before the rest: here the line break after the marker.
    s.range("end of program", open="__END__" + CR, close=END_OF_TEXT, context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("data section", open="__DATA__" + CR, close=END_OF_TEXT, context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    # "$#array" before the comment that "#" would open; it runs to the end of
    # the statement, the styles inside it winning.
    s.range("last index", open="$#", close=";", context="empty", style="variable",
            single_line=True, nest_styles=True)
    # Heredocs end at a line holding their tag; "<<~" lets it be indented.
    for mark, indented in [("~", True), ("", False)]:
        s.range("literal heredoc" + mark, open="<<%s'" % mark, tag=True, tag_alone=True,
                indented_close=indented, context="empty", apply_context="literal",
                style="string", unbalanced=True)
        s.range("quoted heredoc" + mark, open='<<%s"' % mark, tag=True, tag_alone=True,
                indented_close=indented, context="empty", apply_context="string",
                style="string", nest_styles=True, unbalanced=True)
        s.range("heredoc" + mark, open="<<" + mark, tag=True, tag_alone=True, indented_close=indented,
                context="empty", apply_context="string", style="string",
                nest_styles=True, unbalanced=True)

    # Quote-like operators: the word before the delimiter names the operator
    # (a sigil or "->" before that word makes it a name: "$y/2"). They come
    # before the comment, as "#" is a delimiter too. Substitutions have two
    # parts: "s/a/b/", "s{a}{b}".
    for op, ctx, parts in [("qq", "string", 1), ("q", "literal", 1), ("qw", "literal", 1),
                           ("qr", "literal", 1), ("m", "literal", 1), ("s", "literal", 2),
                           ("tr", "literal", 2), ("y", "literal", 2)]:
        for o, c in DELIMITERS:
            s.range("%s %s" % (op, o), open=op + o, close=c, context="empty",
                    apply_context=ctx, style="string", unbalanced=True, balanced=(o != c),
                    parts=(parts if parts > 1 else None),
                    nest_styles=(ctx == "string"), **{"break": "\\"})
    s.range("comment", open="#", close=LINE, context="empty", apply_context="comment",
            style="comment", single_line=True)
    s.range("double string", open='"', close='"', context="empty", apply_context="string",
            style="string", nest_styles=True, unbalanced=True, **{"break": "\\"})
    s.range("single string", open="'", close="'", context="empty", apply_context="literal",
            style="string", unbalanced=True, **{"break": "\\"})
    s.range("command string", open="`", close="`", context="empty", apply_context="string",
            style="string", nest_styles=True, unbalanced=True, **{"break": "\\"})
    # A slash where an operand is expected starts a match; after a name, a
    # number, ")" or "]" it divides.
    s.range("match", open="/", close="/", context="empty", apply_context="literal",
            style="string", single_line=True, operand=True, operand_words=OPERAND_WORDS,
            **{"break": "\\"})


    s.keyword("filehandles", FILEHANDLES, style="global-variable", context="empty")
    s.keyword("reserved words", RESERVED, style="keyword", context="empty",
              reserved=True, auto_complete=True, auto_complete_context="empty")
    s.keyword("built-in functions", BUILTINS, style="built-in-function", context="empty",
              auto_complete=True, auto_complete_context="empty")

    s.prefix("variable", prefixes=["$", "@", "%"], context="empty", precedence=10,
             style="variable", actions=["style"])
    # "use constant PI => 3;" and "use constant { A => 1, B => 2 };" declare
    # every name before a "=>".
    s.prefix("constant", prefixes=["constant"], context="empty", precedence=30,
             expression="([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*=>", line_break=";", token=1,
             all_matches=True, icon="sxCS", style="constant", actions=SYMBOL)
    s.prefix("interpolated variable", prefixes=["$", "@"], context="string",
             precedence=20, style="variable", actions=["style"])

    name = "([A-Za-z_][A-Za-z0-9_:]*)"
    # A package is a scope that no brace ends: it lasts until the next one,
    # so the subs that follow it are its methods. ("scope-block" with
    # "symbol" pushes such a scope; Perl has no blocks that would pop it.)
    s.expression("package", keywords=["package"], context="empty", line_break=";",
                 expression_gpc="^package[[:space:]]+" + name, token=1,
                 icon="sxCL", style="class", actions=SYMBOL + ["scope-block"])
    s.expression("method", keywords=["sub"], context="empty", line_break="{",
                 expression_gpc="^sub[[:space:]]+" + name, token=1, scopes=["package"],
                 allow_overloading=True, icon="sxMT", style="method", actions=SYMBOL)

    s.expression("function", keywords=["sub"], context="empty", line_break="{",
                 expression_gpc="^sub[[:space:]]+" + name, token=1,
                 icon="sxFU", style="function", actions=SYMBOL)
    # use Foo::Bar, require Foo, require "lib/file.pl", do "file.pl"; pragmas
    # ("use strict") name no file.
    s.expression("module", keywords=["use", "require", "do"], context="empty",
                 line_break=";",
                 expression_gpc="^(use|require|do)[[:space:]]*\\(?[[:space:]]*"
                 "(['\"]([^'\"]*/)?|([A-Za-z_][A-Za-z0-9_]*::)*)"
                 "([A-Z][A-Za-z0-9_]*|[A-Za-z0-9_.-]+\\.p[lm])",
                 token=5, actions=["header"])
    return s
