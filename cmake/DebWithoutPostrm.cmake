# Run by CPack after it built the Debian package: takes out the postrm
# script CPack adds for ldconfig (the package's trigger does that job), so
# that dpkg -r removes the package whole instead of keeping it as
# "config-files" for a purge that has nothing to do.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${deb} failed")
  endif()
  file(REMOVE ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${deb}
    RESULT_VARIABLE result OUTPUT_QUIET)
  file(REMOVE_RECURSE ${tree})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -b ${deb} failed")
  endif()
endforeach()
