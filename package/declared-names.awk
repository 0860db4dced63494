# Prints the names of the functions the given C/C++ headers declare without defining them, one a
# line: "Name" at file scope (also inside extern "C" { }), "Class::Name" for a member function
# of a class or struct defined in the header. Definitions (inline functions, templates, members
# with a body), pure virtual, deleted and defaulted members, typedefs, aliases, friends and data
# are left out: those are not the library's to export.
#   awk -f declared-names.awk HEADER...
function flush(    s, name) {
  s = statement
  statement = ""
  gsub(/[ \t]+/, " ", s)
  sub(/^ /, "", s)
  if (s !~ /\(/ || s ~ /^(typedef|using|template|friend|static_assert|return)[ (]/) return
  if (s ~ /=[ ]*(0|delete|default)[ ]*$/) return
  if (s ~ /^(inline|constexpr|static inline) / || s ~ /^alignas\(/) return
  name = s
  sub(/[ ]*\(.*$/, "", name)        # the text before the parameter list ends with the name
  if (name ~ /\(|\)|\*$/) return    # a pointer to a function, not a function
  sub(/^.*[ *&]/, "", name)
  if (name !~ /^~?[A-Za-z_][A-Za-z0-9_]*$/) return
  if (depth == 1 && scope != "") print scope "::" name
  else if (depth == 0) print name
}
FNR == 1 { depth = 0; scope = ""; statement = ""; in_comment = 0 }
{
  line = $0
  if (in_comment) {
    if (line !~ /\*\//) next
    sub(/^.*\*\//, "", line)
    in_comment = 0
  }
  gsub(/\/\*([^*]|\*+[^*\/])*\*+\//, "", line)
  if (line ~ /\/\*/) { sub(/\/\*.*$/, "", line); in_comment = 1 }
  sub(/\/\/.*$/, "", line)
  if (line ~ /^[ \t]*#/) next
  if (line ~ /^[ \t]*extern "C" *\{/ || line ~ /^[ \t]*\} *$/ && extern_c && depth == 0) {
    extern_c = (line ~ /\{/)
    next
  }
  sub(/^[ \t]*(public|private|protected):/, "", line)
  n = length(line)
  for (i = 1; i <= n; i++) {
    c = substr(line, i, 1)
    if (c == "{") {
      if (depth == 0 && statement ~ /^[ \t]*(struct|class) /) {
        scope = statement
        sub(/^[ \t]*(struct|class)[ \t]+/, "", scope)
        sub(/[ \t:].*$/, "", scope)
      }
      if (depth == 0 && statement !~ /^[ \t]*(struct|class) /) scope = ""
      depth++
      statement = ""
    } else if (c == "}") {
      depth--
      if (depth == 0) scope = ""
      statement = ""
    } else if (c == ";") {
      flush()
    } else if (depth <= 1) {
      statement = statement c
    }
  }
  statement = statement " "
}
