# Writes OUTPUT, a C++ source that registers the bytes of INPUT as resource ID.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#include \"qr_resource.h\"\nnamespace {\nconst unsigned char kData[] = {\n${bytes}};\nconst qr::ResourceRegistration kRegistration(${ID}, kData, sizeof kData);\n}\n")
