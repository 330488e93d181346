#!/usr/bin/env python3
"""Runs a program without transparent huge pages (prctl PR_SET_THP_DISABLE),
so its memory comes in 4 KiB pages as a Windows program's does.
    python3 bench/small_pages.py PROGRAM [ARGS...]"""
import ctypes
import os
import sys

PR_SET_THP_DISABLE = 41
libc = ctypes.CDLL(None, use_errno=True)
if libc.prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0:
    sys.exit("small_pages: prctl failed: " + os.strerror(ctypes.get_errno()))
os.execv(sys.argv[1], sys.argv[1:])
