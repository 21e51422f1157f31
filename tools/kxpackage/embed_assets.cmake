# Writes OUTPUT, a C++ source holding the bytes of each file in ASSETS (paths
# separated by '|') as an array, so the tool needs nothing beside it once
# installed. Run as cmake -DOUTPUT=... -DASSETS=... -P embed_assets.cmake.
set(body "// Generated from tools/kxpackage/report/ by embed_assets.cmake.\n")
string(APPEND body "#include \"tools/kxpackage/report_assets.h\"\n\nnamespace kxpackage {\nnamespace {\n\n")
set(table "")
string(REPLACE "|" ";" ASSETS "${ASSETS}")
set(index 0)
foreach(asset IN LISTS ASSETS)
  get_filename_component(name "${asset}" NAME)
  file(READ "${asset}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Keeps the lines of the generated file short.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char kAsset${index}[] = {\n${bytes}0x00};\n\n")
  string(APPEND table "    {\"${name}\", kAsset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst std::vector<ReportAsset>& ReportAssets() {\n")
string(APPEND body "  static const std::vector<ReportAsset> assets = {\n${table}  };\n  return assets;\n}\n\n")
string(APPEND body "}  // namespace kxpackage\n")
# Rewritten only when changed, so an unchanged asset set rebuilds nothing.
file(WRITE "${OUTPUT}.tmp" "${body}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
