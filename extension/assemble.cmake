# Writes one flavour of the extension's script: the flavour's head with the shared body in it.
# cmake -DHEAD=legacy.js -DBODY=channel.js -DOUT=extension.js -P assemble.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${HEAD} head)
file(READ ${BODY} body)
string(REPLACE "//@BODY@\n" "${body}" script "${head}")
file(WRITE ${OUT} "${script}")
