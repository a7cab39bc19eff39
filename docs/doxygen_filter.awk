# Doxygen input filter: the headers document their API in plain // comments
# (a comment above each declaration, a trailing one on members). This makes
# them Doxygen comments without changing the line count: the opening comment
# block becomes the file's description, a leading // becomes ///, and a
# trailing // after a member or enumerator becomes ///<. The comments are
# plain text, so characters Doxygen reads as markup (\ @ < > &) are escaped.
function plain(text) {
  gsub(/\\/, "\\\\\\\\", text)
  gsub(/[@<>&]/, "\\\\&", text)
  return text
}
BEGIN { in_file_comment = 1 }
in_file_comment && /^\/\// { print "///" plain(substr($0, 3)); next }
in_file_comment && /^#pragma once/ { print "/// \\file"; in_file_comment = 0; next }
{ in_file_comment = 0 }
match($0, /^[ \t]*\/\//) { print substr($0, 1, RLENGTH - 2) "///" plain(substr($0, RLENGTH + 1)); next }
match($0, /[;,][ \t]+\/\/ /) {
  print substr($0, 1, RSTART) "  ///< " plain(substr($0, RSTART + RLENGTH)); next
}
{ print }
