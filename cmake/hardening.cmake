# Hardened Linux builds, the package's among them: stack canaries, fortified
# C library calls, position-independent executables and a read-only
# relocation table bound at start. Left out under the sanitizers and
# libFuzzer (which bring their own checks), and for mingw-w64, whose
# stack protector needs a library of its own.
option(VELLUMAR_HARDEN "Build with the compiler's and linker's hardening (Linux)" ON)
if(NOT VELLUMAR_HARDEN OR WIN32 OR VELLUMAR_SANITIZE OR VELLUMAR_FUZZ)
    return()
endif()

include(CheckCXXSourceCompiles)

add_compile_options(-fstack-protector-strong)

# Fortifying needs the optimiser (a build without it would warn of every
# file); level 3 where both the compiler and the C library offer it. Any
# level a packager's flags set is replaced, not redefined.
set(CMAKE_REQUIRED_FLAGS "-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3")
check_cxx_source_compiles([[
#include <cstring>
#if !defined(__USE_FORTIFY_LEVEL) || __USE_FORTIFY_LEVEL < 3
#error no fortify level 3
#endif
int main() { return 0; }
]] VELLUMAR_FORTIFY_3)
unset(CMAKE_REQUIRED_FLAGS)
if(VELLUMAR_FORTIFY_3)
    set(fortify_level 3)
else()
    set(fortify_level 2)
endif()
set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
add_compile_options("$<${optimised}:-U_FORTIFY_SOURCE>"
                    "$<${optimised}:-D_FORTIFY_SOURCE=${fortify_level}>")

# Position-independent everywhere: -fPIE for our code (Qt's targets add the
# -fPIC they require after it, which serves as well), -pie for programs.
add_compile_options(-fPIE)
add_link_options("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie>")
add_link_options(LINKER:-z,relro LINKER:-z,now)
