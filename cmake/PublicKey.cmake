# Compiles the release public key (VX_UPDATE_PUBLIC_KEY) into the updater as a byte array.
# The key is checked here, at configure time, so that a wrong file stops the build instead
# of producing an updater that rejects every signature.
set(_vx_key "${VX_UPDATE_PUBLIC_KEY}")
if(NOT EXISTS "${_vx_key}")
  message(FATAL_ERROR "VX_UPDATE_PUBLIC_KEY: no such file: ${_vx_key}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_vx_key}")

file(READ "${_vx_key}" _vx_key_hex HEX)
string(LENGTH "${_vx_key_hex}" _vx_key_hexlen)
math(EXPR _vx_key_len "${_vx_key_hexlen} / 2")
# A DER RSAPublicKey with a 1024-bit modulus and a 3-byte exponent is exactly 140 bytes
# and starts with SEQUENCE (0x30), long length (0x81 0x89), INTEGER (0x02).
if(NOT _vx_key_len EQUAL 140 OR NOT _vx_key_hex MATCHES "^30818902")
  message(FATAL_ERROR "VX_UPDATE_PUBLIC_KEY must be a DER RSAPublicKey of 140 bytes "
                      "(1024-bit modulus): ${_vx_key} has ${_vx_key_len} bytes")
endif()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _vx_key_bytes "${_vx_key_hex}")
string(REPEAT "0x..," 12 _vx_row)
string(REGEX REPLACE "(${_vx_row})" "\\1\n    " _vx_key_bytes "${_vx_key_bytes}")
file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/updatepublickey.h" CONTENT
"// Generated from ${_vx_key} by cmake/PublicKey.cmake; do not edit.
#pragma once

// DER RSAPublicKey that release signatures are checked against.
static const unsigned char kUpdatePublicKey[${_vx_key_len}] = {
    ${_vx_key_bytes}
};
" @ONLY)
