# Fails when a source file under DIR starts a thread through Qt (QThread, QThreadPool,
# QtConcurrent): the thread sanitizer runs with ignore_noninstrumented_modules=1, which
# would hide the work of such a thread. Asking which thread runs (QThread::currentThread)
# is fine.
file(GLOB_RECURSE sources "${DIR}/*.cpp" "${DIR}/*.h")
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "QThreadPool|QtConcurrent|QThread::create|moveToThread|public QThread|new QThread|QThread [a-zA-Z_]+[;({]")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name "${DIR}" "${source}")
    string(STRIP "${line}" line)
    list(APPEND found "  ${name}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" found)
  message(FATAL_ERROR "A thread started through Qt, which the thread sanitizer cannot see; use a std::thread:\n${found}")
endif()
