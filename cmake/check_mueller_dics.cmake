# Checks the two dictionaries made from Mueller's with the tool TOOL: in FORWARD the
# transcriptions read by what they mean and the abbreviations found without "_", in REVERSE
# (the Russian–English index) the number of terms and the English headword that known Russian
# words list first or near the top.
set(transcriptions "about=[@\"baUt]" "hot=[hOt]" "hair=[hE@]" "bird=[b3:d]" "food=[fu:d]"
                   "university=[%ju:nI\"v3:sItI]" "adagio=(pl. -os [@Uz])" "ам.=американский")
foreach(pair ${transcriptions})
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 word)
    list(GET pair 1 expected)
    execute_process(COMMAND ${TOOL} lookup ${FORWARD} ${word} RESULT_VARIABLE rc
                    OUTPUT_VARIABLE out ERROR_VARIABLE out)
    string(FIND "${out}" "${expected}" found)
    if(NOT rc EQUAL 0 OR found EQUAL -1)
        message(FATAL_ERROR "${FORWARD}: ${word}: ожидалась транскрипция ${expected}:\n${out}")
    endif()
endforeach()

execute_process(COMMAND ${TOOL} info ${REVERSE} OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT out MATCHES "Терминов: ([0-9]+)")
    message(FATAL_ERROR "${REVERSE}: info:\n${out}")
endif()
set(terms ${CMAKE_MATCH_1})
if(terms LESS 60000 OR terms GREATER 100000)
    message(FATAL_ERROR "${REVERSE}: ${terms} терминов, ожидалось от 60 до 100 тысяч")
endif()

# Each Russian word, the headword its article names within its first LINES lines.
set(first_lines "кошка=cat=3" "бежать=run=1" "собака=dog=1" "дом=house=2" "вода=water=1"
                "книга=book=1" "кот=cat=1" "говорить=speak=4")
foreach(triple ${first_lines})
    string(REPLACE "=" ";" triple "${triple}")
    list(GET triple 0 word)
    list(GET triple 1 english)
    list(GET triple 2 lines)
    execute_process(COMMAND ${TOOL} lookup ${REVERSE} ${word} RESULT_VARIABLE rc
                    OUTPUT_VARIABLE out ERROR_VARIABLE out)
    # The article lists one English headword a line: "cat (n.): кот; кошка".
    string(REGEX REPLACE "[][;]" "," out_lines "${out}")
    string(REPLACE "\n" ";" out_lines "${out_lines}")
    set(found -1)
    set(listed 0)
    foreach(line ${out_lines})
        if(line MATCHES "^${english}( \\(|:)")
            set(found ${listed})
            break()
        endif()
        math(EXPR listed "${listed} + 1")
    endforeach()
    if(NOT rc EQUAL 0 OR found EQUAL -1 OR NOT found LESS lines)
        message(FATAL_ERROR "${REVERSE}: «${word}» должно назвать ${english} в первых ${lines} "
                            "строках:\n${out}")
    endif()
endforeach()
message(STATUS "${REVERSE}: ${terms} терминов")
