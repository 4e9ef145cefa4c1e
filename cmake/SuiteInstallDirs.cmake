# Where the packages put things, under the installation prefix (/usr for the Debian
# packages), and what the shell needs to know of it: a generated header gives it the paths
# from its own folder, so an installed suite finds its modules and reports wherever the
# prefix is, and a build folder (where none of these exist) works as before.
#
# Three packages, each with its own private library folder (Debian's place for a program's
# private libraries, found through RUNPATH): the workstation, the application server, and
# the database tools.
set(SUITE_PACKAGE_WORKSTATION suite)
set(SUITE_PACKAGE_SERVER lpr07700)
set(SUITE_PACKAGE_TOOLS suite-tools)

set(SUITE_INSTALL_BINDIR bin)
set(SUITE_INSTALL_SBINDIR sbin)
set(SUITE_INSTALL_WORKSTATION_LIBDIR lib/${SUITE_PACKAGE_WORKSTATION})
set(SUITE_INSTALL_MODULEDIR ${SUITE_INSTALL_WORKSTATION_LIBDIR}/modules)
set(SUITE_INSTALL_SERVER_LIBDIR lib/${SUITE_PACKAGE_SERVER})
set(SUITE_INSTALL_TOOLS_LIBDIR lib/${SUITE_PACKAGE_TOOLS})
set(SUITE_INSTALL_DATADIR share/${SUITE_PACKAGE_WORKSTATION})
set(SUITE_INSTALL_REPORTDIR ${SUITE_INSTALL_DATADIR}/reports)
set(SUITE_INSTALL_SESSION_MODEL ${SUITE_INSTALL_DATADIR}/suite.ini.modelo)
# The machine's settings, as Debian keeps them: outside the prefix.
set(SUITE_INSTALL_SYSCONFDIR /etc/suite)

file(RELATIVE_PATH SUITE_INSTALL_BIN_TO_MODULES /p/${SUITE_INSTALL_BINDIR} /p/${SUITE_INSTALL_MODULEDIR})
file(RELATIVE_PATH SUITE_INSTALL_BIN_TO_REPORTS /p/${SUITE_INSTALL_BINDIR} /p/${SUITE_INSTALL_REPORTDIR})
file(RELATIVE_PATH SUITE_INSTALL_BIN_TO_SESSION_MODEL /p/${SUITE_INSTALL_BINDIR} /p/${SUITE_INSTALL_SESSION_MODEL})
configure_file(${CMAKE_CURRENT_LIST_DIR}/SuiteInstallDirs.h.in ${SUITE_GENERATED_DIR}/SuiteInstallDirs.h @ONLY)
