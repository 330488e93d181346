#!/usr/bin/env python3
"""Writes the fixtures of the file benchmarks.

  make_file_fixtures.py big OUT SIZE_MB   one UTF-8 file (no mark): Chinese and
                                          ASCII records, CR LF, about half of
                                          them repeats
  make_file_fixtures.py many DIR COUNT KB COUNT GBK files of KB kilobytes each
"""
import os
import random
import sys

WORDS = ['中文', '测试', '记录', '去重', '打乱', '文件', '批量', '处理', '数据', '编码',
         'alpha', 'beta', 'gamma', 'delta', 'line', 'text', '2024', 'value', 'key', 'item']


def record(rng):
    return ' '.join(rng.choice(WORDS) for _ in range(rng.randint(3, 9))) + ' ' + str(rng.randint(0, 10**9))


def lines(rng, target_bytes, encoding):
    out, size, seen = [], 0, []
    while size < target_bytes:
        if seen and rng.random() < 0.5:
            r = rng.choice(seen)
        else:
            r = record(rng)
            seen.append(r)
        b = (r + '\r\n').encode(encoding)
        out.append(b)
        size += len(b)
    return b''.join(out)


def main():
    rng = random.Random(42)
    if sys.argv[1] == 'big':
        data = lines(rng, int(float(sys.argv[3]) * 1024 * 1024), 'utf-8')
        with open(sys.argv[2], 'wb') as f:
            f.write(data)
    elif sys.argv[1] == 'many':
        os.makedirs(sys.argv[2], exist_ok=True)
        for i in range(int(sys.argv[3])):
            with open(os.path.join(sys.argv[2], f'f{i:05d}.txt'), 'wb') as f:
                f.write(lines(rng, int(sys.argv[4]) * 1024, 'gbk'))
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
