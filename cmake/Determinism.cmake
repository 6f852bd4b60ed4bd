# The flags every build of the game compiles with, native and web/ alike. Same seed and keys
# must give the same game bit for bit: no fast-math, no fused multiply-add.
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
