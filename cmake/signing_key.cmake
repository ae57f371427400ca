# The update packages' public key, compiled into the definitions layer. The key pair lives
# outside the sources (never committed); the vendor server signs with the same file.
#   -DKESTRIX_SIGNING_KEY=file   another private key (PEM); default build/keys/signing-key.pem,
#                                made here when absent.
set(KESTRIX_SIGNING_KEY "${CMAKE_SOURCE_DIR}/build/keys/signing-key.pem" CACHE FILEPATH
    "PEM private key whose public half verifies update packages")
find_program(KESTRIX_OPENSSL openssl REQUIRED)

if(NOT EXISTS "${KESTRIX_SIGNING_KEY}")
  get_filename_component(key_dir "${KESTRIX_SIGNING_KEY}" DIRECTORY)
  file(MAKE_DIRECTORY "${key_dir}")
  execute_process(COMMAND ${KESTRIX_OPENSSL} genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072
                          -out "${KESTRIX_SIGNING_KEY}"
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not make ${KESTRIX_SIGNING_KEY}: ${err}")
  endif()
  message(STATUS "Made the development signing key ${KESTRIX_SIGNING_KEY}")
endif()

execute_process(COMMAND ${KESTRIX_OPENSSL} rsa -in "${KESTRIX_SIGNING_KEY}" -noout -modulus -text
                RESULT_VARIABLE rc OUTPUT_VARIABLE key_text ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not read ${KESTRIX_SIGNING_KEY}: ${err}")
endif()
string(REGEX MATCH "Modulus=([0-9A-Fa-f]+)" _ "${key_text}")
set(modulus "${CMAKE_MATCH_1}")
string(REGEX MATCH "publicExponent: ([0-9]+)" _ "${key_text}")
set(exponent "${CMAKE_MATCH_1}")
string(LENGTH "${modulus}" hex_len)
if(NOT modulus OR NOT exponent OR hex_len LESS 512)
  message(FATAL_ERROR "${KESTRIX_SIGNING_KEY} is no RSA key of 2048 bits or more")
endif()
math(EXPR byte_len "${hex_len} / 2")
string(REGEX REPLACE "(..)" "\\\\x\\1" modulus_c "${modulus}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${KESTRIX_SIGNING_KEY}")

set(header "${CMAKE_BINARY_DIR}/generated/signing/signing_key.h")
set(text "// Made by the build from ${KESTRIX_SIGNING_KEY}: its public half.\n#pragma once\n#include <cstdint>\n\nnamespace kx::signing {\ninline constexpr char kModulus[] = \"${modulus_c}\";\ninline constexpr unsigned kModulusBytes = ${byte_len};\ninline constexpr uint32_t kExponent = ${exponent};\n}  // namespace kx::signing\n")
file(CONFIGURE OUTPUT "${header}" CONTENT "${text}" @ONLY)
target_include_directories(kx_definitions PRIVATE "${CMAKE_BINARY_DIR}/generated/signing")
