# A launcher around a signed player, launched as a user launches it: the
# player it unpacks is the signed file byte for byte, and its signature
# verifies against the certificate it was signed with.
#   cmake -DLAUNCHER=turv_signed.exe -DPROBE=winprobe.exe -DPLAYER=signed.exe -DCERT=cert.pem
#         -DOSSLSIGNCODE=osslsigncode -DWORK=dir -DRUN=wine-run -P signed_player.cmake
# With -DKARUPACK=karupack.exe the launcher is any sealed one (the project's
# turv.exe): karupack.exe packs two files behind it with --player PLAYER,
# and the files unpacked are checked byte for byte too.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/Temp ${WORK}/Kurs)
if(KARUPACK)
  file(MAKE_DIRECTORY ${WORK}/slides)
  file(WRITE ${WORK}/slides/intro.txt "Hallo\n")
  file(COPY_FILE ${PROBE} ${WORK}/slides/bild.bin)  # a megabyte of a program's bytes
  execute_process(
    COMMAND ${RUN} ${KARUPACK} pack -q -l ${LAUNCHER} --player ${PLAYER} -o Kurs/Kurs.exe slides
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "karupack pack --player failed:\n${out}\n${err}")
  endif()
  execute_process(COMMAND ${RUN} ${KARUPACK} verify Kurs/Kurs.exe WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out MATCHES "  player: [0-9]+ bytes, x86 \\(32-bit\\) program, signed[\r\n]")
    message(FATAL_ERROR "the package does not verify with its player:\n${out}\n${err}")
  endif()
else()
  file(COPY_FILE ${LAUNCHER} ${WORK}/Kurs/Kurs.exe)
endif()
# Windows programs see the Linux paths on drive Z:.
foreach(name Temp Kurs)
  string(REPLACE "/" "\\" windows_${name} "Z:${WORK}/${name}")
endforeach()
execute_process(
  COMMAND ${RUN} ${PROBE} start --cd ${windows_Kurs} --env TMP=${windows_Temp}
          --env TEMP=${windows_Temp} --env TURV_TEST_RECORD=${windows_Temp}\\runs.txt
          ${windows_Kurs}\\Kurs.exe
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the package did not start: ${err}")
endif()

# The recording player writes down its start: then both files are complete.
foreach(second RANGE 90)
  if(EXISTS ${WORK}/Temp/runs.txt)
    break()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1)
endforeach()
if(NOT EXISTS ${WORK}/Temp/runs.txt)
  message(FATAL_ERROR "the signed player was not started within 90 seconds")
endif()

file(SHA256 ${PLAYER} signed)
file(SHA256 ${WORK}/Temp/KARU/lumirax.exe unpacked)
if(NOT signed STREQUAL unpacked)
  message(FATAL_ERROR "the unpacked player is not the signed file")
endif()
execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${CERT} -in ${WORK}/Temp/KARU/lumirax.exe
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "Signature verification: ok")
  message(FATAL_ERROR "the unpacked player's signature does not verify:\n${out}\n${err}")
endif()

if(KARUPACK)
  execute_process(COMMAND ${RUN} ${KARUPACK} extract Temp/KARU/karu.pqd -C unpacked
                  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status ERROR_VARIABLE err)
  foreach(name intro.txt bild.bin)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/slides/${name}
                            ${WORK}/unpacked/${name} RESULT_VARIABLE differ)
    if(NOT status EQUAL 0 OR NOT differ EQUAL 0)
      message(FATAL_ERROR "${name} was not unpacked byte for byte: ${err}")
    endif()
  endforeach()
endif()
