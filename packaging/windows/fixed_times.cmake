# Run by CPack between staging the files and packing them: every staged
# file and folder gets the time SOURCE_DATE_EPOCH gives (the release's,
# from scripts/windows.sh) and plain permissions, so that the zips are the
# same bytes whoever builds them, wherever and whenever.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(path IN LISTS staged)
  if(IS_DIRECTORY "${path}" OR path MATCHES "\\.exe$")
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
execute_process(COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH}
                        ${staged} COMMAND_ERROR_IS_FATAL ANY)
