# The editor's authors and licences, for the copyright file of a package that carries the
# editor: the paragraphs of its own debian/copyright (a machine-readable one), with its paths
# moved under `folder`, where the build unpacks it. Left out: its header, the paragraph of its
# Debian packaging, which the program does not carry, and a licence that the project's own
# copyright file states already (GPL-3+).
#   awk -v folder=editor/qscintilla2/ -v source=qscintilla2 -v version=2.13.3+dfsg-3 \
#       -f copyright-paragraphs.awk debian/copyright

BEGIN {
    RS = ""
    first = 1
}

/^Format:/ { next }
/^Files:[ \t]*debian\/\*[ \t]*\n/ { next }
/^License:[ \t]*GPL-3\+[ \t]*\n/ { next }

{
    count = split($0, lines, "\n")
    text = ""
    inFiles = 0
    for (i = 1; i <= count; ++i) {
        line = lines[i]
        if (line ~ /^Files:/) {
            inFiles = 1
            sub(/^Files:[ \t]*/, "", line)
            line = "Files: " moved(line)
        } else if (line ~ /^[ \t]/ && inFiles) {
            match(line, /^[ \t]+/)
            line = substr(line, 1, RLENGTH) moved(substr(line, RLENGTH + 1))
        } else {
            inFiles = 0
        }
        text = text line "\n"
    }
    if (first && $0 ~ /^Files:/) {
        text = text "Comment: The source editor built into Tarvell, from Debian's source package\n" \
               " " source " " version " with Tarvell's changes (editor/*.patch).\n"
        first = 0
    }
    printf "\n%s", text
}

function moved(patterns,    n, each, j, out) {
    n = split(patterns, each, /[ \t]+/)
    out = ""
    for (j = 1; j <= n; ++j)
        if (each[j] != "")
            out = out (out == "" ? "" : " ") folder each[j]
    return out
}
