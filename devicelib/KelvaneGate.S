/* int KelvaneGate(const void* entry, const uint32_t* words, uint32_t count)
   See KelvaneGate.h for why it exists. EBP is preserved by the callee under
   both conventions, so it still holds the stack pointer of before the call. */
        .text
        .globl  _KelvaneGate
_KelvaneGate:
        pushl   %ebp
        movl    %esp, %ebp
        movl    12(%ebp), %edx          /* words */
        movl    16(%ebp), %ecx          /* count */
        leal    0(,%ecx,4), %eax
        subl    %eax, %esp
        andl    $-16, %esp              /* aligned as the compiler's own calls */
1:      testl   %ecx, %ecx
        jz      2f
        decl    %ecx
        movl    (%edx,%ecx,4), %eax
        movl    %eax, (%esp,%ecx,4)
        jmp     1b
2:      call    *8(%ebp)
        movl    %ebp, %esp              /* whoever removed the arguments */
        popl    %ebp
        ret
