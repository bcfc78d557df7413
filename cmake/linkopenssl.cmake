# Puts a link to the system's OpenSSL tool at DEST unless something usable is already there
# (a tool placed there by hand is kept; a link whose target has gone is replaced).
#   cmake -DOPENSSL=/usr/bin/openssl -DDEST=.../ossl/openssl -P linkopenssl.cmake
if(EXISTS "${DEST}")
    return()
endif()
if(IS_SYMLINK "${DEST}")
    file(REMOVE "${DEST}")
endif()
file(CREATE_LINK "${OPENSSL}" "${DEST}" SYMBOLIC)
