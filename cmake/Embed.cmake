# trellis_embed(<target> <symbol> <file>)
# Links the bytes of <file> into <target> as `extern const unsigned char <symbol>[]`
# with `extern const unsigned int <symbol>_size`, through the assembler's .incbin,
# so binary assets stay binary files in the tree and cost nothing to compile.
function(trellis_embed target symbol file)
  get_filename_component(path "${file}" ABSOLUTE)
  set(asm "${CMAKE_CURRENT_BINARY_DIR}/embed/${symbol}.S")
  file(CONFIGURE OUTPUT "${asm}" CONTENT
"    .section .rodata.${symbol},\"a\"
    .balign 16
    .globl ${symbol}
    .type ${symbol}, @object
${symbol}:
    .incbin \"${path}\"
${symbol}_end:
    .size ${symbol}, ${symbol}_end - ${symbol}
    .balign 4
    .globl ${symbol}_size
    .type ${symbol}_size, @object
${symbol}_size:
    .long ${symbol}_end - ${symbol}
    .size ${symbol}_size, 4
    .section .note.GNU-stack,\"\",@progbits
")
  # The property must be set where the target lives, or a changed file is not re-embedded.
  set_source_files_properties("${asm}" TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS "${path}")
  target_sources(${target} PRIVATE "${asm}")
endfunction()
