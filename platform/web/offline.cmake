# Writes the page's service worker: the files it keeps for offline play, and
# a cache named for their contents, so that every build that changes a file
# gets a cache of its own. Run at build time:
#   cmake -DPAGE=dir -DFILES=a,b,... -DTEMPLATE=sw.js.in -P offline.cmake
string(REPLACE "," ";" files "${FILES}")
set(digests "")
set(SPARKRALLY_PAGE_FILES "'./'")
foreach(file IN LISTS files)
  file(SHA256 ${PAGE}/${file} digest)
  string(APPEND digests "${digest}  ${file}\n")
  string(APPEND SPARKRALLY_PAGE_FILES ", '${file}'")
endforeach()
string(SHA256 id "${digests}")
string(SUBSTRING ${id} 0 16 SPARKRALLY_PAGE_ID)
configure_file(${TEMPLATE} ${PAGE}/sw.js @ONLY)
