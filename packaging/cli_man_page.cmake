# Makes glimmerset-cli's manual page from its own --help and each command's,
# with the hand-written sections of INCLUDE.
# Run with -DCLI= -DHELP2MAN= -DGZIP= -DOUT= -DINCLUDE= -DTEMPLATE_DIR= -DTEMPLATE_SETS_DIR=
# -DDOC_DIR=.
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE overview COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "\n  ([a-z-]+)  " command_lines "${overview}")
file(READ ${INCLUDE} include_text)
string(CONFIGURE "${include_text}" include_text @ONLY)
string(APPEND include_text "[COMMANDS]\n")
foreach(line IN LISTS command_lines)
    string(STRIP "${line}" command)
    execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "\\" "\\\\" help "${help}")
    string(APPEND include_text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
get_filename_component(dir ${OUT} DIRECTORY)
file(WRITE ${dir}/glimmerset-cli.h2m "${include_text}")
execute_process(COMMAND ${HELP2MAN} --no-info --no-discard-stderr --include=${dir}/glimmerset-cli.h2m
                        --output=${dir}/glimmerset-cli.1 ${CLI}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${GZIP} -9n -f ${dir}/glimmerset-cli.1 COMMAND_ERROR_IS_FATAL ANY)
