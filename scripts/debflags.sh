# Sourced by the build scripts: Debian's compiler and linker flags with every
# hardening feature (PIE, full RELRO, BIND_NOW, FORTIFY_SOURCE, stack
# protector), as CMake options in QZ_DEB_FLAGS. The plain test tree and the
# package build (debian/rules) use the same flags, and ccache (when present)
# compiles each file once for both: each tree's prefix map makes its own
# paths ".", so the map itself is left out of ccache's hash.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_IGNOREOPTIONS='-ffile-prefix-map=*'
QZ_DEB_FLAGS=(-DCMAKE_BUILD_TYPE=None
  "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)")
