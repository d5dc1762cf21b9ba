# Tests of the show-file bridge (libJNIShowtape.so), included by
# CMakeLists.txt after lumivex_add_jvm_test and controller_variant exist.

# ---- Show-file bridge against the scripted show-file-library double ----
lumivex_add_jvm_test(jni_showtape_test
  SOURCES showtape_file_test.cpp showtape_frames_test.cpp
  LIBS showtape_double
  CLASSPATH ${controller_jar}
  OPTIONS "-Dlumivex.jnishowtape=$<TARGET_FILE:JNIShowtape>"
  DEPENDS JNIShowtape)

# ---- Show-file bridge against the real show-file library ----
# Java support of the tests that use the controller classes.
add_jar(jni_showtape_test_support
  SOURCES java/com/lumivex/testsupport/ShowtapeThreads.java
  INCLUDE_JARS ${controller_jar}
  OUTPUT_NAME showtape-test-support
  OUTPUT_DIR ${CMAKE_BINARY_DIR}/java)
add_dependencies(jni_showtape_test_support lumivex_controller_jar)
lumivex_add_jvm_test(jni_showtape_real_test
  SOURCES showtape_real_test.cpp
  LIBS Showtape
  CLASSPATH ${controller_jar} ${CMAKE_BINARY_DIR}/java/showtape-test-support.jar
  OPTIONS "-Dlumivex.jnishowtape=$<TARGET_FILE:JNIShowtape>"
  DEPENDS JNIShowtape jni_showtape_test_support)

# Copies of the package in which one field the show-file bridge resolves has
# another type; each is loaded through a RecordingClassLoader in a process of
# its own.
controller_variant(showtape_int_handle Showtape.java "private long fileHandle" "private int fileHandle")
controller_variant(showtape_long_version Showtape.java "private int versionNumber" "private long versionNumber")
controller_variant(showtape_int_date ShowtapeHeader.java "public long date" "public int date")
controller_variant(showtape_long_timecode DMXFrame.java "public int timeCode" "public long timeCode")
set(showtape_variant_options)
foreach(variant showtape_int_handle showtape_long_version showtape_int_date showtape_long_timecode)
  list(APPEND showtape_variant_options
       "-Dlumivex.test.${variant}=${CMAKE_BINARY_DIR}/java/variants/controller-${variant}.jar")
endforeach()
lumivex_add_jvm_test(jni_showtape_wrong_types_test
  SOURCES showtape_wrong_types_test.cpp
  LIBS Showtape
  CLASSPATH ${CMAKE_BINARY_DIR}/java/jni-test-support.jar
  OPTIONS "-Dlumivex.jnishowtape=$<TARGET_FILE:JNIShowtape>" ${showtape_variant_options}
  DEPENDS JNIShowtape controller_showtape_int_handle controller_showtape_long_version
          controller_showtape_int_date controller_showtape_long_timecode
  RUNS "jni_showtape_int_handle=WrongTypesTest.AnIntFileHandleRaisesOneFromEveryInstanceNative"
       "jni_showtape_long_version=WrongTypesTest.ALongVersionNumberRaisesOneBeforeAnyFileIsOpened"
       "jni_showtape_int_date=WrongTypesTest.AnIntDateRaisesOneAndAnOpenedFileStaysClosable"
       "jni_showtape_long_timecode=WrongTypesTest.ALongTimeCodeRaisesOneFromFrameReadsAndWrites")

# ---- libJNIShowtape.so exports its natives and nothing else ----
add_test(NAME jni_showtape_exports
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:JNIShowtape>
          -DPREFIX=Java_com_lumivex_controller_Showtape_
          -DREQUIRED=Java_com_lumivex_controller_Showtape_readDMXFrame
          -P ${CMAKE_CURRENT_SOURCE_DIR}/check_jni_exports.cmake)
set_tests_properties(jni_showtape_exports PROPERTIES LABELS "jni")

# ---- A Java program that copies a controller's show into a show file ----
# The real `java` launcher runs CopyShowDemo against the simulator's demo
# controllers: the first stored show goes through the controller bridge into
# a .dmx file through the show-file bridge, and is read back and compared,
# header and frames.
lumivex_add_java_demo(jni_copy_show_demo CLASS CopyShowDemo
  DEPENDS JNILumidrive Lumidrive JNIShowtape Showtape
  ARGS ${CMAKE_CURRENT_BINARY_DIR}/copied-show.dmx)
