# The native-messaging manifest tells the browser where the bridge lives and
# which extension may start it. `cmake --install` writes it with the installed
# bridge's absolute path to share/mivet/native-messaging-hosts/.
set(MIVET_EXTENSION_ID "" CACHE STRING
    "ID of the Mivet browser extension allowed to start mivet-browser-bridge (32 letters a-p)")
set(MIVET_NATIVE_HOST_NAME "com.mivet.browser_bridge")

if(MIVET_EXTENSION_ID STREQUAL "")
  set(mivetAllowedOrigins "")
  message(STATUS "MIVET_EXTENSION_ID is empty: the native-messaging manifest allows no extension")
elseif(MIVET_EXTENSION_ID MATCHES "^[a-p]+$" AND MIVET_EXTENSION_ID MATCHES "^................................$")
  set(mivetAllowedOrigins "\"chrome-extension://${MIVET_EXTENSION_ID}/\"")
else()
  message(FATAL_ERROR "MIVET_EXTENSION_ID must be 32 letters from a to p, not '${MIVET_EXTENSION_ID}'")
endif()

install(CODE "
  set(MIVET_MANIFEST_TEMPLATE [==[${CMAKE_CURRENT_LIST_DIR}/${MIVET_NATIVE_HOST_NAME}.json.in]==])
  set(MIVET_MANIFEST_STAGING_DIR [==[${CMAKE_CURRENT_BINARY_DIR}/manifest]==])
  set(MIVET_NATIVE_HOST_NAME [==[${MIVET_NATIVE_HOST_NAME}]==])
  set(MIVET_ALLOWED_ORIGINS [==[${mivetAllowedOrigins}]==])
  set(MIVET_BRIDGE_BIN_DIR [==[${mivetBridgeBinDir}]==])
  include([==[${CMAKE_CURRENT_LIST_DIR}/InstallManifest.cmake]==])
" COMPONENT mivet-browser-bridge)
