# Shared compiler settings for every target of the project.
function(plinx_compile_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion -Wold-style-cast)
  if(PLINX_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # Draws must be bit-identical across builds: no fused multiply-add contraction and no
  # value-changing reassociation, whatever the compiler's defaults are.
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
endfunction()
