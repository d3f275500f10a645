# Writes SITE/sw.js from TEMPLATE: the service worker, with each of the
# site's FILES ("|" between names) and its SHA-256, and the build's name, a
# hash of all of them and of the worker's own code, so that a build with
# any other byte, in the page or in the worker, is another build.
# Run by the build once every file is in place.
string(REPLACE "|" ";" files "${FILES}")
set(ZAPWIT_FILES "")
set(listing "")
foreach(file IN LISTS files)
  file(SHA256 ${SITE}/${file} hash)
  string(APPEND ZAPWIT_FILES "  ['${file}', '${hash}'],\n")
  string(APPEND listing "${file} ${hash}\n")
endforeach()
file(SHA256 ${TEMPLATE} worker)
string(APPEND listing "sw.js ${worker}\n")
string(SHA256 build "${listing}")
string(SUBSTRING "${build}" 0 16 ZAPWIT_BUILD)
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
