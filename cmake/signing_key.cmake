# The public keys the program trusts for what the vendor signs (update packages, the current
# date, the language file), compiled into the core layer. The build reads public keys only;
# private keys live outside the sources and are never committed.
#   -DKESTRIX_PUBLIC_KEYS="a.pub.pem;b.pub.pem"  PEM public keys (RSA, 2048 bits or more);
#        several while a new key ships before the old one retires.
#   -DKESTRIX_RELEASE=ON  refuses to configure without KESTRIX_PUBLIC_KEYS and never makes a key.
#   -DKESTRIX_SIGNING_KEY=file  development builds: the private key whose public half is
#        trusted by default and which the tests and the local server sign with; default
#        build/keys/signing-key.pem, made here when absent.
option(KESTRIX_RELEASE "Release build: trust only the public keys given in KESTRIX_PUBLIC_KEYS" OFF)
set(KESTRIX_PUBLIC_KEYS "" CACHE STRING "PEM public key files the program trusts (list)")
set(KESTRIX_SIGNING_KEY "${CMAKE_SOURCE_DIR}/build/keys/signing-key.pem" CACHE FILEPATH
    "Development builds: PEM private key whose public half is trusted when KESTRIX_PUBLIC_KEYS is empty")
find_program(KESTRIX_OPENSSL openssl REQUIRED)

function(kx_openssl out what)
  execute_process(${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what}: ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(keys ${KESTRIX_PUBLIC_KEYS})
if(KESTRIX_RELEASE)
  if(NOT keys)
    message(FATAL_ERROR "KESTRIX_RELEASE=ON needs -DKESTRIX_PUBLIC_KEYS=<release public key PEM files>")
  endif()
elseif(NOT keys)
  if(NOT EXISTS "${KESTRIX_SIGNING_KEY}")
    get_filename_component(key_dir "${KESTRIX_SIGNING_KEY}" DIRECTORY)
    file(MAKE_DIRECTORY "${key_dir}")
    kx_openssl(_ "could not make ${KESTRIX_SIGNING_KEY}"
      COMMAND ${KESTRIX_OPENSSL} genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out "${KESTRIX_SIGNING_KEY}")
    message(STATUS "Made the development signing key ${KESTRIX_SIGNING_KEY}")
  endif()
  # Beside the private key: build/keys/signing-key.pub.pem for the default key.
  get_filename_component(key_dir "${KESTRIX_SIGNING_KEY}" DIRECTORY)
  get_filename_component(key_name "${KESTRIX_SIGNING_KEY}" NAME_WLE)
  set(public "${key_dir}/${key_name}.pub.pem")
  if(NOT EXISTS "${public}" OR "${KESTRIX_SIGNING_KEY}" IS_NEWER_THAN "${public}")
    kx_openssl(_ "could not take the public half of ${KESTRIX_SIGNING_KEY}"
      COMMAND ${KESTRIX_OPENSSL} pkey -in "${KESTRIX_SIGNING_KEY}" -pubout -out "${public}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${KESTRIX_SIGNING_KEY}")
  set(keys "${public}")
endif()

set(entries "")
set(ids "")
foreach(key IN LISTS keys)
  if(NOT EXISTS "${key}")
    message(FATAL_ERROR "no public key file ${key}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${key}")
  kx_openssl(key_text "${key} is no PEM RSA public key"
    COMMAND ${KESTRIX_OPENSSL} rsa -pubin -in "${key}" -noout -modulus -text)
  string(REGEX MATCH "Modulus=([0-9A-Fa-f]+)" _ "${key_text}")
  set(modulus "${CMAKE_MATCH_1}")
  string(REGEX MATCH "Exponent: ([0-9]+)" _ "${key_text}")
  set(exponent "${CMAKE_MATCH_1}")
  string(LENGTH "${modulus}" hex_len)
  if(NOT modulus OR NOT exponent OR hex_len LESS 512)
    message(FATAL_ERROR "${key} is no RSA key of 2048 bits or more")
  endif()
  # The key id: SHA-256 over the DER SubjectPublicKeyInfo, its first 16 hex digits.
  kx_openssl(digest "could not hash ${key}"
    COMMAND ${KESTRIX_OPENSSL} pkey -pubin -in "${key}" -outform DER
    COMMAND ${KESTRIX_OPENSSL} dgst -sha256)
  string(REGEX MATCH "= *([0-9a-fA-F]+)" _ "${digest}")
  string(TOLOWER "${CMAKE_MATCH_1}" digest)
  string(LENGTH "${digest}" digest_len)
  if(NOT digest_len EQUAL 64)
    message(FATAL_ERROR "could not hash ${key}: ${digest}")
  endif()
  string(SUBSTRING "${digest}" 0 16 id)
  if(id IN_LIST ids)
    message(FATAL_ERROR "${key}: key id ${id} is listed twice")
  endif()
  list(APPEND ids "${id}")
  math(EXPR byte_len "${hex_len} / 2")
  string(REGEX REPLACE "(..)" "\\\\x\\1" modulus_c "${modulus}")
  string(APPEND entries "    {\"${id}\", \"${modulus_c}\", ${byte_len}, ${exponent}},  // ${key}\n")
endforeach()
message(STATUS "Trusted signing keys: ${ids}")

set(header "${CMAKE_BINARY_DIR}/generated/signing/signing_keys.h")
set(text "// Made by the build from KESTRIX_PUBLIC_KEYS (or the development key's public half).\n#pragma once\n#include <cstdint>\n\nnamespace kx::signing {\nstruct CompiledKey {\n  const char* id;\n  const char* modulus;\n  unsigned modulusBytes;\n  uint32_t exponent;\n};\ninline constexpr CompiledKey kKeys[] = {\n${entries}};\n}  // namespace kx::signing\n")
file(CONFIGURE OUTPUT "${header}" CONTENT "${text}" @ONLY)
target_include_directories(kx_core PRIVATE "${CMAKE_BINARY_DIR}/generated/signing")
