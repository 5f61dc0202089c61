# Applied to every target of the project: warnings are bugs, and the Qt string
# conversions that hide encoding mistakes are switched off.
add_compile_options(-Wall -Wextra -Wpedantic)
add_compile_definitions(
  QT_NO_CAST_TO_ASCII
  QT_NO_FOREACH
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER
  QT_DEPRECATED_WARNINGS)
