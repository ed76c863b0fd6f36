# A launcher around a signed player, launched as a user launches it: the
# player it unpacks is the signed file byte for byte, and its signature
# verifies against the certificate it was signed with.
#   cmake -DLAUNCHER=turv_signed.exe -DPROBE=winprobe.exe -DPLAYER=signed.exe -DCERT=cert.pem
#         -DOSSLSIGNCODE=osslsigncode -DWORK=dir -DRUN=wine-run -P signed_player.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/Temp ${WORK}/Kurs)
file(COPY_FILE ${LAUNCHER} ${WORK}/Kurs/Kurs.exe)
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
