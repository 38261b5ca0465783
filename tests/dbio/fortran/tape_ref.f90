! Reference reader and writer of problem tapes, as the platform's Fortran
! run-time sees them: sequential unformatted files whose records are n
! 32-bit integers.
!   tape_ref read  FILE N     prints every record, one line of its words
!   tape_ref write FILE N R   writes R records; word 1 of record i is i and
!                             word j >= 2 is i * 100000 + j, negated for odd j
program tape_ref
  implicit none
  character(len=256) :: mode, file, arg
  integer :: n, r, i, j, ios
  integer, allocatable :: buf(:)

  call get_command_argument(1, mode)
  call get_command_argument(2, file)
  call get_command_argument(3, arg)
  read (arg, *) n
  allocate (buf(n))

  if (mode == 'read') then
    open (10, file=trim(file), form='unformatted', access='sequential', status='old')
    do
      read (10, iostat=ios) buf
      if (ios < 0) exit
      if (ios > 0) then
        print '(a)', 'ERROR'
        stop 1
      end if
      print '(*(i0,:,1x))', buf
    end do
  else
    call get_command_argument(4, arg)
    read (arg, *) r
    open (10, file=trim(file), form='unformatted', access='sequential', status='replace')
    do i = 1, r
      buf(1) = i
      do j = 2, n
        buf(j) = i * 100000 + j
        if (mod(j, 2) == 1) buf(j) = -buf(j)
      end do
      write (10) buf
    end do
  end if
  close (10)
end program tape_ref
