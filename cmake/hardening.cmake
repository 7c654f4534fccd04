# Hardening flags for Release and RelWithDebInfo builds, the ones Debian
# gives its own packages: the tool parses answers from cards and names from
# reader drivers, both of which a hostile device controls.
#
#   Linux (GCC, Clang): -D_FORTIFY_SOURCE=3 (2 where the compiler lacks
#     __builtin_dynamic_object_size), -fstack-protector-strong,
#     -fstack-clash-protection, -fcf-protection (x86),
#     -mbranch-protection=standard (arm64), and the linker's -z relro -z now;
#     PIE stays as CMake and the compiler make it.
#   MinGW-w64: -fstack-protector-strong, with the guard of
#     platform/stack_guard_win.cpp; ASLR, DEP and high-entropy ASLR are the
#     linker's defaults.
#
# Included from the top-level CMakeLists.txt. It defines the interface
# library quillon_hardening, which the tool's libraries pass on to whatever
# links them, and QUILLON_HARDENING_SOURCES, which the tool's library
# compiles. -DQUILLON_HARDENING=OFF leaves both empty. Sanitizer and fuzz
# builds keep their own flags and get none of these.
option(QUILLON_HARDENING "Build Release and RelWithDebInfo with hardening flags" ON)

add_library(quillon_hardening INTERFACE)
set(QUILLON_HARDENING_SOURCES)

if(NOT QUILLON_HARDENING OR QUILLON_SANITIZE OR QUILLON_FUZZ OR MSVC
   OR NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
  return()
endif()

include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)

# Optimised build types only: _FORTIFY_SOURCE needs the optimiser, and a
# Debug build is for the debugger.
set(quillon_optimised "$<OR:$<CONFIG:Release>,$<CONFIG:RelWithDebInfo>>")

set(quillon_compile_flags)
set(quillon_link_flags)

if(WIN32)
  # GCC's stack protector. Its guard and failure handler come from
  # platform/stack_guard_win.cpp rather than GCC's libssp, which would add
  # advapi32.dll to the executable's imports; so the flag is for the
  # compiler only, and the link takes no libssp. That file itself must not
  # be protected: it sets the guard.
  list(APPEND quillon_compile_flags -fstack-protector-strong)
  set(QUILLON_HARDENING_SOURCES ${PROJECT_SOURCE_DIR}/platform/stack_guard_win.cpp)
  set_source_files_properties(${QUILLON_HARDENING_SOURCES} PROPERTIES COMPILE_OPTIONS -fno-stack-protector)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # Level 3 checks buffers whose size is known only at run time; glibc uses
  # it when the compiler has __builtin_dynamic_object_size (GCC 12, Clang 9)
  # and treats it as 2 otherwise. Undefined first, for compilers that define
  # a level of their own.
  check_cxx_source_compiles([[
    int main() {
      char buffer[4];
      return static_cast<int>(__builtin_dynamic_object_size(buffer, 0)) - 4;
    }]] QUILLON_HAVE_DYNAMIC_OBJECT_SIZE)
  if(QUILLON_HAVE_DYNAMIC_OBJECT_SIZE)
    set(quillon_fortify_level 3)
  else()
    set(quillon_fortify_level 2)
  endif()
  list(APPEND quillon_compile_flags -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=${quillon_fortify_level}
       -fstack-protector-strong)

  check_cxx_compiler_flag(-fstack-clash-protection QUILLON_HAVE_STACK_CLASH_PROTECTION)
  if(QUILLON_HAVE_STACK_CLASH_PROTECTION)
    list(APPEND quillon_compile_flags -fstack-clash-protection)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
    check_cxx_compiler_flag(-fcf-protection QUILLON_HAVE_CF_PROTECTION)
    if(QUILLON_HAVE_CF_PROTECTION)
      list(APPEND quillon_compile_flags -fcf-protection)
    endif()
  endif()
  # On arm64, BTI landing pads and PAC return-address signing, as Debian
  # builds its arm64 packages. The executable is marked for them only when
  # the C library's start files are too (Debian 13's are, Debian 12's not);
  # the tool's own objects carry the mark either way.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
    check_cxx_compiler_flag(-mbranch-protection=standard QUILLON_HAVE_BRANCH_PROTECTION)
    if(QUILLON_HAVE_BRANCH_PROTECTION)
      list(APPEND quillon_compile_flags -mbranch-protection=standard)
    endif()
  endif()
  list(APPEND quillon_link_flags -Wl,-z,relro -Wl,-z,now)
endif()

foreach(flag IN LISTS quillon_compile_flags)
  target_compile_options(quillon_hardening INTERFACE "$<${quillon_optimised}:${flag}>")
endforeach()
foreach(flag IN LISTS quillon_link_flags)
  target_link_options(quillon_hardening INTERFACE "$<${quillon_optimised}:${flag}>")
endforeach()
message(STATUS "Hardening for Release and RelWithDebInfo: ${quillon_compile_flags} ${quillon_link_flags}")
