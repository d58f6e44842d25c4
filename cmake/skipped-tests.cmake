# Run by CPack before it packs: a package made after a test run that skipped
# tests (cmake/wine.sh leaves a note for each) says so, loudly.
file(GLOB notes "${CPACK_VEK_SKIP_NOTES}/*.txt")
foreach(note IN LISTS notes)
  get_filename_component(test "${note}" NAME_WE)
  file(STRINGS "${note}" reason)
  message(WARNING "The test '${test}' was SKIPPED, not passed: ${reason}. "
                  "This package has not been tested on this machine.")
endforeach()
