# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the manual pages and the shell completions. With CTL: bytewardctl's manual (its command
# reference asked of bytewardctl itself) and its completions; with PAGE: that page alone.

# The English texts, whatever the builder's locale.
set(ENV{LC_ALL} C)
set(ENV{LANGUAGE} "")

function(run_ctl output)
  get_filename_component(dir ${output} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND ${CTL} ${ARGN} OUTPUT_FILE ${output} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "bytewardctl ${ARGN} failed: ${status}")
  endif()
endfunction()

function(write_page scd name)
  execute_process(COMMAND ${SCDOC} INPUT_FILE ${scd} OUTPUT_FILE ${OUT}/${name}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "scdoc failed on ${scd}: ${status}")
  endif()
  execute_process(COMMAND ${GZIP} -9nf ${OUT}/${name} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${name}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${OUT})
if(DEFINED CTL)
  run_ctl(${OUT}/bash/bytewardctl completion bash)
  run_ctl(${OUT}/zsh/_bytewardctl completion zsh)
  run_ctl(${OUT}/fish/bytewardctl.fish completion fish)
  run_ctl(${OUT}/commands.scd manual-commands)
  file(READ ${TEMPLATE} page)
  file(READ ${OUT}/commands.scd commands)
  string(REPLACE "@COMMANDS@" "${commands}" page "${page}")
  file(WRITE ${OUT}/bytewardctl.1.scd "${page}")
  write_page(${OUT}/bytewardctl.1.scd bytewardctl.1)
endif()
if(DEFINED PAGE)
  get_filename_component(name ${PAGE} NAME_WLE)
  write_page(${PAGE} ${name})
endif()
