# Finds the JDK's JNI headers and libjvm. Included by the bridge and by the
# JVM tests. Without JAVA_HOME the JDK is the one whose javac is on PATH, so
# headers, libjvm, javac and java all come from one installation.
find_package(Java 17 REQUIRED COMPONENTS Runtime Development)
if(NOT JAVA_HOME AND NOT DEFINED ENV{JAVA_HOME})
  file(REAL_PATH "${Java_JAVAC_EXECUTABLE}" _lumivex_javac)
  get_filename_component(_lumivex_jdk_bin "${_lumivex_javac}" DIRECTORY)
  get_filename_component(JAVA_HOME "${_lumivex_jdk_bin}" DIRECTORY)
endif()
find_package(JNI REQUIRED COMPONENTS JVM)
