# Runs at install time, when the final prefix is known: fills the manifest
# template with the installed bridge's absolute path and installs the result.
get_filename_component(mivetPrefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(mivetBridgePath "${mivetPrefix}/${MIVET_BRIDGE_BIN_DIR}/mivet-browser-bridge")

# The path goes inside a JSON string.
string(REPLACE "\\" "\\\\" MIVET_BRIDGE_PATH_JSON "${mivetBridgePath}")
string(REPLACE "\"" "\\\"" MIVET_BRIDGE_PATH_JSON "${MIVET_BRIDGE_PATH_JSON}")

# Several installs of one build tree may run at once (to different prefixes),
# so each renders into a staging folder of its own, named after its prefix
# and a random part, and removes it afterwards.
string(SHA256 mivetPrefixHash "${mivetPrefix}")
string(SUBSTRING "${mivetPrefixHash}" 0 16 mivetPrefixHash)
string(RANDOM LENGTH 16 mivetRandom)
set(mivetStaging "${MIVET_MANIFEST_STAGING_DIR}/${mivetPrefixHash}-${mivetRandom}")
set(mivetManifest "${mivetStaging}/${MIVET_NATIVE_HOST_NAME}.json")
configure_file("${MIVET_MANIFEST_TEMPLATE}" "${mivetManifest}" @ONLY)
file(INSTALL DESTINATION "${mivetPrefix}/share/mivet/native-messaging-hosts" TYPE FILE
     FILES "${mivetManifest}")
file(REMOVE_RECURSE "${mivetStaging}")
