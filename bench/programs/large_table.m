% A million rows of three numbers written to a file with one fprintf; the
% matrix is stored by column here, so its rows are the columns written.
n = 1000000;
k = (1:n)';
x = k / 7;
y = sin(k);
M = [k x y]';
fd = fopen('/tmp/octave_large_table.txt', 'w');
fprintf(fd, '%d %.6f %.6f\n', M);
fclose(fd);
