# Writes one carried text: the bytes of INPUT as the constant array of a C++
# source OUTPUT, published as the CarriedText SYMBOL under the file name NAME
# (app/carried_help.hpp). Run at build time, so that a changed text
# recompiles only its own source:
#   cmake -DINPUT=help/VKE.hlp -DOUTPUT=carried_VKE.cpp -DNAME=VKE.hlp
#         -DSYMBOL=kCarriedHelp_VKE -P scripts/carry_text.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR bytes "${digits} / 2")
# Every byte an escape of its own, so that no escape runs into the next.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
file(WRITE ${OUTPUT}.new
     "// Generated from ${NAME} by scripts/carry_text.cmake; do not edit.\n"
     "#include \"app/carried_help.hpp\"\n\n"
     "namespace vke {\n\n"
     "namespace {\n\n"
     "constexpr char kBytes[] =\n    \"${escaped}\";\n\n"
     "}  // namespace\n\n"
     "extern const CarriedText ${SYMBOL};\n"
     "constinit const CarriedText ${SYMBOL}{\"${NAME}\", kBytes, ${bytes}};\n\n"
     "}  // namespace vke\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
