# SPDX-License-Identifier: GPL-3.0-or-later
# Collects the translatable texts of the sources afresh into FRESH and fails when the template
# TEMPLATE differs: a text added, changed or removed without `cmake --build build --target lupdate`.
# Called as a test: cmake -DLUPDATE=… -DSOURCE_DIR=… -DFOLDERS=a|b -DOPTIONS=x|y -DTEMPLATE=… -DFRESH=… -P
string(REPLACE "|" ";" folders "${FOLDERS}")
string(REPLACE "|" ";" options "${OPTIONS}")
file(REMOVE "${FRESH}")
execute_process(COMMAND "${LUPDATE}" ${options} ${folders} -ts "${FRESH}"
    WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}):\n${output}")
endif()
file(READ "${TEMPLATE}" kept)
file(READ "${FRESH}" fresh)
if(NOT kept STREQUAL fresh)
    execute_process(COMMAND diff -u "${TEMPLATE}" "${FRESH}" OUTPUT_VARIABLE difference)
    message(FATAL_ERROR "The translation template is not current; run `cmake --build build --target lupdate` "
        "and commit data/translations/vantrel.ts. The difference:\n${difference}")
endif()
# lupdate reports texts it cannot place (tr() outside a class that declares it): they would be
# filed under a context the program never asks for, and stay English in every language.
if(output MATCHES "[Ww]arning|Cannot invoke|lacks Q_OBJECT")
    message(FATAL_ERROR "lupdate found texts it cannot translate:\n${output}")
endif()
