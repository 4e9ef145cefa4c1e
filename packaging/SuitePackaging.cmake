# What packaging/CMakeLists.txt installs with: each program with the closure of its links
# over this build's shared libraries, and each package's documents.

set(SUITE_PACKAGE_MAINTAINER "Equipe de Sistemas de Compras <sistemas.compras@example.com.br>")

# The build's own shared libraries that `targets` need at run time: what each links, then
# what those link in turn (a shared library's private links too: they load with it), through
# static libraries into what they link. Imported targets (Qt, system libraries) are the
# system's: dpkg-shlibdeps turns them into dependencies.
function(suite_shared_closure out)
  set(seen "")
  set(found "")
  set(todo ${ARGN})
  while(todo)
    list(POP_FRONT todo item)
    # Links added from another folder come wrapped in markers; LINK_ONLY keeps the name.
    if(item MATCHES "^::@" OR item STREQUAL "")
      continue()
    endif()
    if(item MATCHES "^\\$<LINK_ONLY:([^>]+)>$")
      set(item "${CMAKE_MATCH_1}")
    endif()
    if(NOT TARGET "${item}" OR item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${item}")
    get_target_property(aliased "${item}" ALIASED_TARGET)
    if(aliased)
      list(APPEND todo "${aliased}")
      continue()
    endif()
    get_target_property(imported "${item}" IMPORTED)
    if(imported)
      continue()
    endif()
    get_target_property(type "${item}" TYPE)
    if(type STREQUAL "SHARED_LIBRARY" AND NOT item IN_LIST ARGN)
      list(APPEND found "${item}")
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(links "${item}" ${property})
      if(links)
        list(APPEND todo ${links})
      endif()
    endforeach()
  endwhile()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# suite_install_programs(COMPONENT BINDIR LIBDIR PROGRAMS targets... [MODULES targets...
#                        MODULE_DIR dir]): the programs into BINDIR, the modules (loaded at run
# time, linked by no program) into MODULE_DIR, and the libraries all of them need into LIBDIR,
# the package's private folder. RUNPATH is relative to each file ($ORIGIN), so the installed
# tree works wherever it is unpacked.
function(suite_install_programs component bindir libdir)
  cmake_parse_arguments(S "" "MODULE_DIR" "PROGRAMS;MODULES" ${ARGN})
  file(RELATIVE_PATH to_libs /p/${bindir} /p/${libdir})
  foreach(program ${S_PROGRAMS})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${to_libs}")
    install(TARGETS ${program} RUNTIME DESTINATION ${bindir} COMPONENT ${component})
  endforeach()
  if(S_MODULES)
    file(RELATIVE_PATH module_to_libs /p/${S_MODULE_DIR} /p/${libdir})
    set_target_properties(${S_MODULES} PROPERTIES INSTALL_RPATH "$ORIGIN/${module_to_libs}")
    install(TARGETS ${S_MODULES} LIBRARY DESTINATION ${S_MODULE_DIR} COMPONENT ${component})
  endif()
  suite_shared_closure(libraries ${S_PROGRAMS} ${S_MODULES})
  add_dependencies(packaged ${S_PROGRAMS} ${S_MODULES})
  foreach(library ${libraries})
    set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${library} LIBRARY DESTINATION ${libdir} COMPONENT ${component})
  endforeach()
  message(STATUS "Pacote ${component}: ${S_PROGRAMS} ${S_MODULES} com as bibliotecas ${libraries}")
endfunction()

# suite_install_docs(COMPONENT PACKAGE DOCS files... MAN pages...): the documents into
# /usr/share/doc/PACKAGE with the copyright and the changelog Debian wants there, and the
# manual pages, compressed as Debian keeps them.
function(suite_install_docs component package)
  cmake_parse_arguments(S "" "" "DOCS;MAN" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${package})
  set(SUITE_CHANGELOG_PACKAGE ${package})
  string(TIMESTAMP SUITE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${out}/changelog @ONLY)
  set(zipped ${out}/changelog.gz)
  foreach(page ${S_MAN})
    get_filename_component(name ${page} NAME)
    list(APPEND zipped ${out}/${name}.gz)
    add_custom_command(OUTPUT ${out}/${name}.gz
      COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${out}/${name}.gz
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${page} VERBATIM)
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${name})
    install(FILES ${out}/${name}.gz DESTINATION share/man/man${section} COMPONENT ${component})
  endforeach()
  add_custom_command(OUTPUT ${out}/changelog.gz
    COMMAND gzip -9n -c ${out}/changelog > ${out}/changelog.gz
    DEPENDS ${out}/changelog VERBATIM)
  add_custom_target(docs_${component} ALL DEPENDS ${zipped})
  add_dependencies(packaged docs_${component})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${out}/changelog.gz ${S_DOCS}
          DESTINATION share/doc/${package} COMPONENT ${component})
  if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/debian/${package}.lintian-overrides)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/${package}.lintian-overrides
            DESTINATION share/lintian/overrides RENAME ${package} COMPONENT ${component})
  endif()
endfunction()

# suite_control_scripts(COMPONENT PACKAGE scripts...): the package's maintainer scripts
# (debian/PACKAGE.postinst ...), under the names dpkg reads.
function(suite_control_scripts component package)
  set(files "")
  foreach(script ${ARGN})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/control/${package}/${script})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/${package}.${script} ${out} COPYONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
    list(APPEND files ${out})
  endforeach()
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_CONTROL_EXTRA ${files} PARENT_SCOPE)
endfunction()
