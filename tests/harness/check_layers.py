#!/usr/bin/env python3
"""Fails when a source file includes a header from a layer above its own.

TarnDesk: model < mouse < settings < ui < app; a file names the layer of every header it
takes from another folder ("mouse/x.h"). TarnAgent: settings < drivers < actions < app.
"""
import os
import re
import sys

ROOT = sys.argv[1]
RULES = {
    'configurator': ['model', 'mouse', 'settings', 'ui', 'app'],
    'agent': ['settings', 'drivers', 'actions', 'app'],
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def headers_by_layer(program, layers):
    where = {}
    for layer in layers:
        folder = os.path.join(ROOT, program, layer)
        for name in os.listdir(folder):
            if name.endswith('.h'):
                where[name] = layer
    return where


problems = []
for program, layers in RULES.items():
    where = headers_by_layer(program, layers)
    for layer in layers:
        folder = os.path.join(ROOT, program, layer)
        for name in sorted(os.listdir(folder)):
            if not name.endswith(('.h', '.cpp')):
                continue
            text = open(os.path.join(folder, name), encoding='utf-8').read()
            for included in INCLUDE.findall(text):
                parts = included.split('/')
                if len(parts) == 2 and parts[0] in layers:
                    target = parts[0]
                elif len(parts) == 1 and included in where:
                    target = where[included]
                    if program == 'configurator' and target != layer:
                        problems.append('%s/%s/%s includes "%s" without its layer %s/' %
                                        (program, layer, name, included, target))
                        continue
                else:
                    continue  # common, resources, generated or system headers
                if layers.index(target) > layers.index(layer):
                    problems.append('%s/%s/%s includes %s from the layer above, %s/' %
                                    (program, layer, name, included, target))
for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)
