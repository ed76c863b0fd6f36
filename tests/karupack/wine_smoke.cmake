# karupack.exe as an author runs it on Windows (here under Wine): a name
# beyond ASCII, captions, a second pack replacing the first (flushed and
# renamed, its checksum patched in), list, verify, extract, and the
# refusals that rest on Windows calls.
#   cmake -DKARUPACK=karupack.exe -DLAUNCHER=turv.exe -DWORK=dir -DRUN=wine-run -P wine_smoke.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/slides)
file(WRITE "${WORK}/slides/Einführung.txt" "Hallo\n")
string(REPEAT "0123456789abcdef" 4096 bild)
file(WRITE ${WORK}/slides/bild.bmp "${bild}")
file(WRITE ${WORK}/captions.txt "einführung.txt\tDie Einführung\n")

function(karupack expected)
  execute_process(COMMAND ${RUN} ${KARUPACK} ${ARGN} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "karupack ${ARGN}: status ${status}, not ${expected}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

karupack(0 pack -q -o Kurs.exe -l ${LAUNCHER} -c captions.txt slides)
file(SIZE ${WORK}/Kurs.exe first)
file(WRITE "${WORK}/slides/Einführung.txt" "Hallo, Welt\n")
karupack(0 pack -q -o Kurs.exe -l ${LAUNCHER} -c captions.txt slides)
file(SIZE ${WORK}/Kurs.exe second)
math(EXPR grown "${second} - ${first}")
if(NOT grown EQUAL 6)
  message(FATAL_ERROR "the second pack did not replace the first: ${first} then ${second} bytes")
endif()

karupack(0 verify Kurs.exe)
# The checksum patched into the finished file through Windows' calls.
if(NOT out MATCHES "\n  checksum: 0x[0-9A-F]+, right\n")
  message(FATAL_ERROR "verify shows no right checksum:\n${out}")
endif()
karupack(0 list Kurs.exe)
if(NOT out MATCHES "Einführung.txt +Die Einführung +12 ")
  message(FATAL_ERROR "list shows:\n${out}")
endif()
karupack(0 extract Kurs.exe -C out)
foreach(name "Einführung.txt" bild.bmp)
  file(READ "${WORK}/out/${name}" extracted HEX)
  file(READ "${WORK}/slides/${name}" original HEX)
  if(NOT extracted STREQUAL original)
    message(FATAL_ERROR "${name} was not extracted as packed")
  endif()
endforeach()

karupack(1 pack -q -o slides/../slides/bild.bmp -l ${LAUNCHER} slides)
if(NOT err MATCHES "is one of the files to pack")
  message(FATAL_ERROR "the output that is an input was refused for another reason: ${err}")
endif()
karupack(1 pack -q -o Kurs2.exe -l ${WORK}/captions.txt slides)
karupack(2 pack -o Kurs2.exe)
if(EXISTS ${WORK}/Kurs2.exe)
  message(FATAL_ERROR "a refused pack left Kurs2.exe behind")
endif()

# Devices and pipes open like files on Windows: as package, captions or
# output they are refused, and nothing waits on them.
karupack(1 list NUL)
if(NOT err MATCHES "NUL: not a regular file \\(a device\\)")
  message(FATAL_ERROR "list NUL: ${err}")
endif()
karupack(1 pack -q -o Kurs2.exe -l ${LAUNCHER} -c NUL slides)
karupack(1 pack -q -o NUL -l ${LAUNCHER} slides)
if(NOT err MATCHES "NUL: is a device")
  message(FATAL_ERROR "pack -o NUL: ${err}")
endif()
execute_process(COMMAND mkfifo ${WORK}/pipe.exe)
karupack(1 pack -q -o pipe.exe -l ${LAUNCHER} slides)
if(NOT err MATCHES "pipe.exe: is a pipe")
  message(FATAL_ERROR "pack -o pipe.exe: ${err}")
endif()

# An entry named like the package but for case is the package itself here.
file(WRITE ${WORK}/self/SELF.EXE "x")
karupack(0 pack -q -o self.exe -l ${LAUNCHER} self)
karupack(1 extract self.exe -C .)
if(NOT err MATCHES "would replace the file being extracted")
  message(FATAL_ERROR "extract into the package's own folder: ${err}")
endif()

# What is printed shows control characters escaped, paths in errors too.
string(ASCII 27 esc)
karupack(1 list "a${esc}[2J.exe")
if(err MATCHES "${esc}" OR NOT err MATCHES "a\\\\x1B\\[2J.exe: cannot open")
  message(FATAL_ERROR "list of a name with ESC: ${err}")
endif()
