# The Windows build's packaging: Help.chm (chmcmd) and Kestrix-Setup.exe (makensis), with
# the first definition set line-encoded for the program folder. Every tool here runs on the
# build machine, so the encoder is compiled with the host's compiler, not the cross one.

find_program(KESTRIX_CHMCMD chmcmd REQUIRED)
find_program(KESTRIX_MAKENSIS makensis REQUIRED)
find_program(KESTRIX_HOST_CXX NAMES c++ g++ clang++ REQUIRED)

set(KESTRIX_DEFINITIONS_DATE "1/15/2026 12:00:00 PM" CACHE STRING
    "Definitions date of the sample set the installer ships (M/D/YYYY h:mm:ss AM)")
set(KESTRIX_INSTALLER_SERVER "http://127.0.0.1:8021" CACHE STRING
    "Vendor server address the installer writes to the machine-wide Servers section")

set(KESTRIX_SIGN_COMMAND "" CACHE STRING
    "Release signing: a command that signs, in place, the file named by its last argument \
(Kestrix.exe, the uninstaller and the installer); empty: nothing is signed")

set(KX_PACKAGING ${CMAKE_BINARY_DIR}/packaging)

# What the installer packs as Kestrix.exe: the build's own file, or a signed copy of it so the
# build output stays what the linker wrote.
if(KESTRIX_SIGN_COMMAND)
  separate_arguments(KX_SIGN NATIVE_COMMAND "${KESTRIX_SIGN_COMMAND}")
  set(KESTRIX_PACKED_EXE ${KX_PACKAGING}/signed/Kestrix.exe)
  add_custom_command(OUTPUT ${KESTRIX_PACKED_EXE}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Kestrix> ${KESTRIX_PACKED_EXE}
    COMMAND ${KX_SIGN} ${KESTRIX_PACKED_EXE}
    DEPENDS Kestrix $<TARGET_FILE:Kestrix>
    COMMENT "Signing Kestrix.exe"
    VERBATIM)
  set(KX_SIGN_DEFINE "-DKX_SIGN_COMMAND=${KESTRIX_SIGN_COMMAND}")
else()
  set(KESTRIX_PACKED_EXE $<TARGET_FILE:Kestrix>)
  set(KX_SIGN_DEFINE)
endif()

# Help.chm: chmcmd writes beside the project, so it compiles a copy of the sources.
file(GLOB KX_HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/help/*)
set(KX_HELP_WORK ${KX_PACKAGING}/help)
set(KESTRIX_HELP_CHM ${KX_PACKAGING}/Help.chm)
add_custom_command(OUTPUT ${KESTRIX_HELP_CHM}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/packaging/help ${KX_HELP_WORK}
  COMMAND ${KESTRIX_CHMCMD} --verbosity 1 Kestrix.hhp
  COMMAND ${CMAKE_COMMAND} -E copy ${KX_HELP_WORK}/Help.chm ${KESTRIX_HELP_CHM}
  WORKING_DIRECTORY ${KX_PACKAGING}/help
  DEPENDS ${KX_HELP_SOURCES}
  COMMENT "Compiling Help.chm")
add_custom_target(help_chm ALL DEPENDS ${KESTRIX_HELP_CHM})
file(MAKE_DIRECTORY ${KX_HELP_WORK})

# The encoder, for the build machine.
set(KX_HOST_DEFENCODE ${KX_PACKAGING}/host/defencode)
add_custom_command(OUTPUT ${KX_HOST_DEFENCODE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_PACKAGING}/host
  COMMAND ${KESTRIX_HOST_CXX} -std=c++20 -O2 -I${CMAKE_SOURCE_DIR}/src
          ${CMAKE_SOURCE_DIR}/tools/defencode.cpp ${CMAKE_SOURCE_DIR}/src/definitions/codec.cpp
          -o ${KX_HOST_DEFENCODE}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/defencode.cpp ${CMAKE_SOURCE_DIR}/src/definitions/codec.cpp
          ${CMAKE_SOURCE_DIR}/src/definitions/codec.h
  COMMENT "Building the definition encoder for the build machine")

# The first definition set: every sample file encoded, and its date as the merge writes it.
set(KX_DEFINITIONS ${KX_PACKAGING}/definitions)
file(GLOB KX_DEFINITION_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/definitions/*.txt)
set(KX_ENCODED)
foreach(src ${KX_DEFINITION_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  set(out ${KX_DEFINITIONS}/${name}.dat)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_DEFINITIONS}
    COMMAND ${KX_HOST_DEFENCODE} ${src} ${out}
    DEPENDS ${KX_HOST_DEFENCODE} ${src})
  list(APPEND KX_ENCODED ${out})
endforeach()
file(WRITE ${KX_PACKAGING}/date.dat.in "${KESTRIX_DEFINITIONS_DATE}\r\n")
configure_file(${KX_PACKAGING}/date.dat.in ${KX_DEFINITIONS}/date.dat COPYONLY)

set(KESTRIX_SETUP ${CMAKE_BINARY_DIR}/Kestrix-Setup.exe)
set(KX_NSI ${CMAKE_SOURCE_DIR}/packaging/installer/kestrix.nsi)
add_custom_command(OUTPUT ${KESTRIX_SETUP}
  COMMAND ${KESTRIX_MAKENSIS} -V2 -NOCD
          "-DKX_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}"
          "-DKX_EXE=${KESTRIX_PACKED_EXE}"
          "-DKX_LOCALIZATION=${CMAKE_SOURCE_DIR}/packaging/Localization.txt"
          "-DKX_HELP=${KESTRIX_HELP_CHM}"
          "-DKX_ICON=${CMAKE_SOURCE_DIR}/src/platform/win32/resources/kestrix.ico"
          "-DKX_DEFINITIONS=${KX_DEFINITIONS}"
          "-DKX_SERVER=${KESTRIX_INSTALLER_SERVER}"
          "-DKX_OUTFILE=${KESTRIX_SETUP}"
          ${KX_SIGN_DEFINE}
          ${KX_NSI}
  DEPENDS ${KX_NSI} Kestrix ${KESTRIX_PACKED_EXE} ${KESTRIX_HELP_CHM} ${KX_ENCODED}
          ${KX_DEFINITIONS}/date.dat ${CMAKE_SOURCE_DIR}/packaging/Localization.txt
  COMMENT "Building Kestrix-Setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS ${KESTRIX_SETUP})
