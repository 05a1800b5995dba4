# Turns one vanto command's --help text into manual page markup for vanto(1)'s COMMANDS section:
# the description as a paragraph, the usage line, and each option or argument as a tagged
# paragraph. The exit statuses, which every command's help repeats, are left to the page's own
# section. Usage: vanto <command> --help | awk -v command=<command> -f help-to-man.awk
function escape(text) {
    gsub(/\\/, "\\e", text)
    gsub(/-/, "\\-", text)
    return text
}
function flush() {
    if (tag != "") {
        print ".TP"
        print "\\fB" escape(tag) "\\fR"
        if (body != "") print escape(body)
    } else if (body != "") {
        print ".PP"
        print escape(body)
    }
    tag = ""
    body = ""
}
function add(text) {
    sub(/^ +/, "", text)
    body = body == "" ? text : body " " text
}
BEGIN { print ".SS \"vanto " command "\"" }
/^Exit status:$/ { stopped = 1 }
stopped { next }
/^$/ { flush(); next }
/^Usage: / { flush(); print ".PP"; print "\\fB" escape($0) "\\fR"; next }
/^[A-Z][A-Za-z ]*:$/ { flush(); print ".PP"; print escape($0); next }
/^  [^ ]/ {
    flush()
    line = substr($0, 3)
    gap = match(line, /  +/)
    if (!gap && length($0) > 30 && substr($0, 30, 1) == " " && substr($0, 29, 1) != " ") {
        gap = 28  # a name that fills the help's 30-column name field leaves one space
    }
    if (gap) {
        tag = substr(line, 1, gap - 1)
        add(substr(line, gap))
    } else {
        tag = line
    }
    next
}
/^   +[^ ]/ && tag != "" { add($0); next }
{ if (tag != "") flush(); add($0) }
END { flush() }
