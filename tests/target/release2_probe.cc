// A program that uses MIPS32 release 2 on purpose, to show that the target
// tests can tell: run, it executes one seb, which a release-1 core refuses
// with SIGILL; and it holds, never run, one of each instruction that
// mips32-release1 looks for, spelt the way the assembler takes them.
extern "C" int release2_sign_extend_byte(int value);
extern "C" void release2_catalogue();

asm(R"(
  .text
  .set push
  .set noreorder
  .set mips32r2
  .set fp=64

  .globl release2_sign_extend_byte
  .type release2_sign_extend_byte, @function
release2_sign_extend_byte:
  seb $2, $4
  jr $31
  nop
  .size release2_sign_extend_byte, .-release2_sign_extend_byte

  .globl release2_catalogue
  .type release2_catalogue, @function
release2_catalogue:
  ext $2, $3, 4, 5
  ins $2, $3, 4, 5
  seb $2, $3
  seh $2, $3
  wsbh $2, $3
  rotr $2, $3, 4
  rotrv $2, $3, $4
  di
  ei
  synci 0($2)
  rdpgpr $2, $3
  wrpgpr $2, $3
  jr.hb $31
  jalr.hb $31, $25
  mfhc1 $2, $f0
  mthc1 $2, $f0
  mfhc2 $2, $3
  mthc2 $2, $3
  lwxc1 $f0, $2($3)
  ldxc1 $f0, $2($3)
  swxc1 $f0, $2($3)
  sdxc1 $f0, $2($3)
  luxc1 $f0, $2($3)
  suxc1 $f0, $2($3)
  prefx 0, $2($3)
  madd.s $f0, $f2, $f4, $f6
  madd.d $f0, $f2, $f4, $f6
  msub.s $f0, $f2, $f4, $f6
  msub.d $f0, $f2, $f4, $f6
  nmadd.s $f0, $f2, $f4, $f6
  nmadd.d $f0, $f2, $f4, $f6
  nmsub.s $f0, $f2, $f4, $f6
  nmsub.d $f0, $f2, $f4, $f6
  cvt.l.s $f0, $f2
  cvt.l.d $f0, $f2
  cvt.s.l $f0, $f2
  cvt.d.l $f0, $f2
  trunc.l.s $f0, $f2
  trunc.l.d $f0, $f2
  round.l.s $f0, $f2
  round.l.d $f0, $f2
  ceil.l.s $f0, $f2
  ceil.l.d $f0, $f2
  floor.l.s $f0, $f2
  floor.l.d $f0, $f2
  add.ps $f0, $f2, $f4
  cvt.ps.s $f0, $f2, $f4
  cvt.s.pl $f0, $f2
  cvt.s.pu $f0, $f2
  jr $31
  nop
  .size release2_catalogue, .-release2_catalogue

  .set pop
)");

int main() {
  // Keeps the catalogue in the executable without running it.
  void (*volatile catalogue)() = release2_catalogue;
  (void)catalogue;
  return release2_sign_extend_byte(0x80) == -128 ? 0 : 1;
}
