#!/usr/bin/env python3
"""Writes the benchmark input: N records, half of them repeats, mixed ASCII
and Chinese, GB18030 with CR LF (and the same records with LF for the peer
tools, which know nothing of CR LF)."""
import argparse
import random

WORDS = ['用户', '订单', '北京', '上海', '测试', '数据', '记录', '商品', '客户', '地址',
         'alpha', 'beta', 'gamma', 'delta', 'order', 'item', 'user', 'mail']


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--records', type=int, default=4_000_000)
    ap.add_argument('--crlf', required=True)
    ap.add_argument('--lf', required=True)
    ap.add_argument('--seed', type=int, default=1)
    # About 10 bytes a record (a word and a hexadecimal number), half of them
    # Chinese, in place of about 20.
    ap.add_argument('--short', action='store_true')
    args = ap.parse_args()
    rng = random.Random(args.seed)
    distinct = args.records // 2
    if args.short:
        chinese, latin = WORDS[:10], WORDS[10:]
        pool = [f'{chinese[i % 10] if i % 2 == 0 else latin[i % 8]}{i >> 1:x}' for i in range(distinct)]
    else:
        pool = [f'{rng.choice(WORDS)}-{i:07d}-{rng.choice(WORDS)}' for i in range(distinct)]
    lines = pool + [rng.choice(pool) for _ in range(args.records - distinct)]
    rng.shuffle(lines)
    body = '\n'.join(lines).encode('gb18030')
    with open(args.lf, 'wb') as f:
        f.write(body + b'\n')
    with open(args.crlf, 'wb') as f:
        f.write(body.replace(b'\n', b'\r\n'))


if __name__ == '__main__':
    main()
