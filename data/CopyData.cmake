file(COPY ${SRC}/ DESTINATION ${DST}
     PATTERN "CMakeLists.txt" EXCLUDE
     PATTERN "*.cmake" EXCLUDE)
