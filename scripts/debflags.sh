# Sourced by the build scripts: Debian's compiler and linker flags with every
# hardening feature (PIE, full RELRO, BIND_NOW, FORTIFY_SOURCE, stack
# protector), as CMake options in QZ_DEB_FLAGS. The plain test tree and the
# package tree use the same flags, so the packages hold the very objects the
# tests ran, and ccache (when present) compiles each file once for both.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
QZ_DEB_FLAGS=(-DCMAKE_BUILD_TYPE=None
  "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)")
