# Writes the SHA-256 of ARCHIVE beside it as ARCHIVE.sha256, in the form sha256sum prints.
file(SHA256 "${ARCHIVE}" digest)
get_filename_component(name "${ARCHIVE}" NAME)
file(WRITE "${ARCHIVE}.sha256" "${digest}  ${name}\n")
