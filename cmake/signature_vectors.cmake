# Signature test vectors made by OpenSSL, for the signature contract suite on both builds
# (the Windows tests cannot call OpenSSL themselves). Fresh keys every time it runs.
#   cmake -DOUT=header -DWORK=folder -P signature_vectors.cmake
find_program(OPENSSL openssl REQUIRED)
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${err}")
  endif()
  set(run_out "${out}" PARENT_SCOPE)
endfunction()

function(hex_bytes file var)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "(..)" "\\\\x\\1" c "${hex}")
  set(${var} "${c}" PARENT_SCOPE)
endfunction()

# key name, bits, exponent
set(keys a:3072:65537 b:2048:3)
set(body "")
foreach(entry IN LISTS keys)
  string(REPLACE ":" ";" k ${entry})
  list(GET k 0 name)
  list(GET k 1 bits)
  list(GET k 2 exp)
  run(${OPENSSL} genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:${bits} -pkeyopt rsa_keygen_pubexp:${exp}
      -out ${WORK}/${name}.pem)
  run(${OPENSSL} rsa -in ${WORK}/${name}.pem -noout -modulus)
  string(REGEX REPLACE "^Modulus=([0-9A-Fa-f]+).*$" "\\1" mod "${run_out}")
  string(REGEX REPLACE "(..)" "\\\\x\\1" mod "${mod}")
  string(APPEND body "inline const std::string kKey_${name}_modulus(\"${mod}\", ${bits} / 8);\n")
  string(APPEND body "inline constexpr uint32_t kKey_${name}_exponent = ${exp};\n")
endforeach()

# Binary data (every byte value may appear), and an empty message.
run(${OPENSSL} rand -out ${WORK}/data.bin 700)
file(WRITE ${WORK}/empty.bin "")
hex_bytes(${WORK}/data.bin data)
string(APPEND body "inline const std::string kData(\"${data}\", 700);\n")
foreach(entry a:data b:data a:empty)
  string(REPLACE ":" ";" pair ${entry})
  list(GET pair 0 key)
  list(GET pair 1 msg)
  run(${OPENSSL} dgst -sha256 -sign ${WORK}/${key}.pem -out ${WORK}/${key}_${msg}.sig ${WORK}/${msg}.bin)
  hex_bytes(${WORK}/${key}_${msg}.sig sig)
  file(SIZE ${WORK}/${key}_${msg}.sig size)
  string(APPEND body "inline const std::string kSig_${key}_${msg}(\"${sig}\", ${size});\n")
endforeach()
file(REMOVE ${WORK}/a.pem ${WORK}/b.pem)

file(WRITE ${OUT}.tmp "// Made by OpenSSL at build time (cmake/signature_vectors.cmake).\n#pragma once\n#include <cstdint>\n#include <string>\nnamespace kx::vectors {\n${body}}  // namespace kx::vectors\n")
file(RENAME ${OUT}.tmp ${OUT})
