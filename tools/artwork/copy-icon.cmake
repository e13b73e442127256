# cmake -DIN=<svg> -DOUT=<svg> -P copy-icon.cmake
# Copies one icon into the resource tree with white as its drawing colour.
file(READ "${IN}" _svg)
string(REPLACE "currentColor" "#ffffff" _svg "${_svg}")
file(WRITE "${OUT}" "${_svg}")
